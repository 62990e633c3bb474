// One new route on mng1: a network route (target and netmask, a gateway when its box is ticked)
// or the default route (a gateway), allowed or rejected, with an optional MSS. Run modally from
// the routing list. Add sends the route on the UI thread behind the wait cursor (one short
// exchange) and keeps the dialog open for the next route.
#pragma once

#include <functional>
#include <string>

#include "dialogs/NetworkRules.h"
#include "dialogs/BoardDialog.h"

class CdlgRoutingAdd : public dialogs::BoardDialog {
 public:
  // onAdded: a route was added (the routing list reads the board again).
  CdlgRoutingAdd(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, std::function<void()> onAdded);

 protected:
  bool OnInitDialog() override;

 private:
  void OnRadioTargetNetwork();
  void OnRadioTargetDefault();
  // The address fields the target kind uses are enabled, the others not.
  void SetTargetKind(network::TargetKind kind);
  // Add only while every field the target kind needs is filled.
  void CheckRequiredField();
  // The MSS check.
  static bool ValidMTU(const std::string& strMss);
  // The route goes to the board on a worker; Add stays off until it has answered.
  void OnRoutingAdd();
  network::RouteFields Fields();

  std::function<void()> m_onAdded;
  network::TargetKind m_kind = network::TargetKind::Network;
};

// The routing list of one board: its static routes read from the agent, the deletion of the
// checked (else the selected) rows and the dialog that adds a route. Run modally from the
// board's network setting dialog.
//
// The deletion runs on a worker that asks its questions from there and posts to the UI thread;
// while it runs every button is off and Esc and the close control are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "agent/AgentTypes.h"
#include "dialogs/BoardDialog.h"

class CdlgRoutingManagement : public dialogs::BoardDialog {
 public:
  CdlgRoutingManagement(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed = {});
  ~CdlgRoutingManagement() override;

  // Empties the list and reads the board's routes into it on a worker; meanwhile only Close
  // may be used.
  void SetRoutingList();

 protected:
  bool OnInitDialog() override;

 private:
  // The routes as the worker read them; ulCode is the agent's, 0 when read.
  struct RouteRead {
    std::uint32_t ulCode = 0;
    std::vector<agent::RouteTexts> routes;
  };
  void RoutingListRead(const RouteRead& read);
  void ShowRoutingManagement();
  void SetFieldCaption();
  void OnRoutingAdd();
  void OnRoutingDelete();
  void StartRoutingDelete(std::vector<agent::RouteTexts> routes);  // worker thread
  void DeleteFinished();
  // The rows to delete: the checked ones, else the selected one.
  std::vector<int> SelectedRows();
  void SetButtons(bool bEnable);

  std::vector<agent::RouteTexts> m_routes;  // as listed, one per row
};

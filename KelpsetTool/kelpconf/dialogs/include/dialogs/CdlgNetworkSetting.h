// Network setting of one board: its name, the address, netmask and MTU of mng1 and two NTP
// servers, read from the board's agent when the dialog opens and written back by Setup. One
// modeless dialog per board slot, created with the main window and opened by its "Routing"
// button; its own "Routing" button opens the board's routing list.
//
// Setup runs on one worker: the cluster stop when the change needs it (polled every 30 s, at
// most one hour), then the setters of the values that changed. The worker only posts to the UI
// thread; while it runs every button is off and Esc and the close control are ignored.
// In view mode (the main window's refer-configuration walk) nothing is edited: ">> Next" hands
// control back to the main window and "Cancel" closes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "dialogs/BoardDialog.h"

class CdlgNetworkSetting : public dialogs::BoardDialog {
 public:
  static constexpr plat::Millis kStopPollPeriod{30'000};
  static constexpr int kStopPollLimit = 120;  // one hour of polls
  // The cluster definition state of a board that belongs to no cluster.
  static constexpr std::uint32_t kClusterNotDefined = 0;

  enum class ButtonMode {
    Edit,        // fields, Routing, Setup (when the required fields are filled) and Close
    Working,     // nothing
    ReadFailed,  // the board's values are unknown: Routing and Close only
    View,        // ">> Next" and "Cancel" only
    Reading,     // the board's values are being read: Close (or Cancel) only
  };

  CdlgNetworkSetting(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed = {});
  ~CdlgNetworkSetting() override;

  // Shows the dialog in front at once; the board's settings fill the fields when its worker has
  // read them.
  void ShowNetSetDialog(bool bViewMode);

 private:
  // The values the dialog holds, as texts.
  struct NetSetting {
    std::string strName, strAddress, strNetmask, strMtu, strNtp1, strNtp2;
  };
  // What Setup changes, decided on the UI thread.
  struct NetChange {
    NetSetting values;
    NetSetting before;  // the board's values when Setup was clicked
    bool bStopCluster = false, bName = false, bAddress = false, bMtu = false, bNtp = false;
  };

  // The board's values as a read found them; bRead false when an exchange failed, which ended
  // the read (the values read before it are kept).
  struct NetRead {
    NetSetting values;
    bool bClusterDefined = false;
    bool bRead = false;
  };
  static NetRead GetNetSetting(const CusrCHN& board, std::uint32_t ulSlot);  // worker thread
  void NetSettingRead(const NetRead& read);
  void SetEnableButton(ButtonMode mode);
  // Setup only while name, address, netmask and MTU are filled.
  void CheckRequiredFiled();
  static bool ValidMTU(const std::string& strMtu);
  void OnSetupButton();
  // Which values changed and, for a node of a defined cluster, the status checks and questions.
  // False when the user or a board status stops the setup.
  bool SetNetSetting(const NetSetting& values, NetChange* pChange);
  void StartNetworkSeting(const NetChange& change);  // worker thread
  std::uint32_t StartClusterStopping();               // worker thread
  void SettingFinished(const NetSetting& applied);
  void OnRouting();
  NetSetting ReadFields();
  void ShowFields(const NetSetting& values);
  void ShowStatus(const std::string& strText);  // any thread

  NetSetting m_ref;  // the board's values as last read or applied
  bool m_bClusterDefined = false;
  bool m_bViewMode = false;
  ButtonMode m_mode = ButtonMode::ReadFailed;
  // Ends the worker's waits when the dialog goes.
  std::mutex m_stopMutex;
  std::condition_variable m_stopCv;
  bool m_bStop = false;
};

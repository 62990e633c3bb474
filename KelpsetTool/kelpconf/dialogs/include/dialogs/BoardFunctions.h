// The main window's functions on one board: the four dialogs every board slot
// has (Boot Management, Program Install, NAS Dump, Network Setting), made once
// at start-up and opened under their busy code, and the NNC reset. A dialog
// already open is brought to the front; a board that carries another busy code
// is left alone (traced). Every busy-code change reaches the window through the
// session's change callback; the window hears besides when a dialog gave its
// board back, to show the board again.
//
// UI thread only. The reset's worker is one of the owner window's workers: the
// owner joins its workers before this object goes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "board/CusrCHN.h"
#include "session/ArraySession.h"
#include "ui/Dialog.h"

class CdlgBootManagement;
class CdlgProgramInstall;
class CdlgHibernationDump;
class CdlgNetworkSetting;

namespace dialogs {

class BoardFunctions {
 public:
  // A dialog gave board ulSlot back: busy code nCode was released.
  using Released = std::function<void(std::uint32_t ulSlot, int nCode)>;
  // The boot dialog asks for an NNC reset of its board.
  using ResetAsked = std::function<void(std::uint32_t ulSlot)>;

  BoardFunctions(kelp::ui::Host& host, kelp::ui::Dialog& owner, session::ArraySession& rSession, Released released,
                 ResetAsked resetAsked);
  ~BoardFunctions();

  // Makes the dialogs of every slot (hidden).
  void Create();

  void OpenProgramInstall(std::uint32_t ulSlot);
  // In refer-configuration mode the dialog opens to view only.
  void OpenNetworkSetting(std::uint32_t ulSlot, bool bReferConfig);
  void OpenNasDump(std::uint32_t ulSlot);
  void OpenBootManagement(std::uint32_t ulSlot);
  // The NNC reset: three questions, then a worker. nOwnerCode is the busy code
  // the board carries when the reset is asked for (0 from the main window, 6
  // from the boot dialog); the reset never starts over another code and gives
  // the board back to its owner when done.
  void Reset(std::uint32_t ulSlot, int nOwnerCode);
  // The board's status changed: its boot and dump dialogs, when shown, show it.
  void BoardChanged(std::uint32_t ulSlot);

  CdlgBootManagement* BootManagement(std::uint32_t ulSlot) const;
  CdlgHibernationDump* HibernationDump(std::uint32_t ulSlot) const;
  CdlgNetworkSetting* NetworkSetting(std::uint32_t ulSlot) const;

 private:
  // Brought to the front when bAlreadyOpen, refused while the board carries
  // another busy code, else opened under nCode.
  void Open(std::uint32_t ulSlot, int nCode, bool bAlreadyOpen, kelp::ui::Dialog& front,
            const std::function<void()>& open);
  void Closed(std::uint32_t ulSlot, int nCode);
  void FinishReset(std::uint32_t ulSlot, int nOwnerCode);

  kelp::ui::Host& m_rHost;
  kelp::ui::Dialog& m_rOwner;
  session::ArraySession& m_rSession;
  Released m_released;
  ResetAsked m_resetAsked;
  std::array<std::unique_ptr<CdlgBootManagement>, CusrCHN::kSlots> m_pdlgBoot;
  std::array<std::unique_ptr<CdlgProgramInstall>, CusrCHN::kSlots> m_pdlgInstall;
  std::array<std::unique_ptr<CdlgHibernationDump>, CusrCHN::kSlots> m_pdlgDump;
  std::array<std::unique_ptr<CdlgNetworkSetting>, CusrCHN::kSlots> m_pdlgNetwork;
};

}  // namespace dialogs

// The unit chooser of a kelpconf started without arguments: the units the array library knows
// (name, model, number of NAS boards), one row each, the first selected. OK takes the selected
// unit, Cancel none. Modal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/Dialog.h"

class CdlgSelectUnit : public kelp::ui::Dialog {
 public:
  struct Unit {
    std::string strName;
    std::string strModel;
    int nBoards = 0;
  };

  CdlgSelectUnit(kelp::ui::Host& host, std::vector<Unit> units);

  // After DoModal: the unit OK took, none after Cancel.
  const std::optional<std::string>& Chosen() const { return m_chosen; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  std::vector<Unit> m_units;
  std::optional<std::string> m_chosen;
};

#include "dialogs/CdlgSelectUnit.h"

#include "common/MessageBoxStyle.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;

CdlgSelectUnit::CdlgSelectUnit(kelp::ui::Host& host, std::vector<Unit> units)
    : Dialog(host, res::kTemplateSelectUnit), m_units(std::move(units)) {}

bool CdlgSelectUnit::OnInitDialog() {
  kelp::ui::Control list = GetDlgItem(res::kSuList);
  for (const Unit& unit : m_units) list.AddRow({unit.strName, unit.strModel, std::to_string(unit.nBoards)});
  if (!m_units.empty()) list.SetSelection(0);
  return true;
}

void CdlgSelectUnit::OnOK() {
  const int nRow = GetDlgItem(res::kSuList).GetSelection();
  if (nRow < 0 || static_cast<std::size_t>(nRow) >= m_units.size()) return;
  m_chosen = m_units[static_cast<std::size_t>(nRow)].strName;
  EndDialog(IDOK);
}

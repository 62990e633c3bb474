#include "dialogs/CdlgConfirmInstallProduct.h"

#include "media/MediaRules.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;

CdlgConfirmInstallProduct::CdlgConfirmInstallProduct(kelp::ui::Host& host, std::string strBoard,
                                                     const install::ProductList& products)
    : Dialog(host, res::kTemplateConfirmInstall), m_strBoard(std::move(strBoard)), m_products(products) {}

bool CdlgConfirmInstallProduct::OnInitDialog() {
  GetDlgItem(res::kCiBoardLabel).SetWindowText(m_strBoard);
  SetProductList();
  return true;
}

void CdlgConfirmInstallProduct::SetProductList() {
  kelp::ui::Control list = GetDlgItem(res::kCiList);
  list.DeleteAllRows();
  for (const board::ProductRecord& record : m_products)
    list.AddRow({record[board::kProductName], media::GetVersionString(record[board::kProductVersion], false)});
}

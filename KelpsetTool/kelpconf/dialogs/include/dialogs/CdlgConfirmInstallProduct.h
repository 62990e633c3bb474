// The final list of the products to install on a board, confirmed with OK or dropped with
// Cancel. Modal.
#pragma once

#include <string>

#include "install/InstallRules.h"
#include "ui/Dialog.h"

class CdlgConfirmInstallProduct : public kelp::ui::Dialog {
 public:
  CdlgConfirmInstallProduct(kelp::ui::Host& host, std::string strBoard, const install::ProductList& products);

 protected:
  bool OnInitDialog() override;

 private:
  void SetProductList();

  std::string m_strBoard;
  const install::ProductList& m_products;
};

// The About box: the tool's version string and the line "build: DATE,TIME, ver.VERSION".
#pragma once

#include "ui/Dialog.h"

class CdlgAbout : public kelp::ui::Dialog {
 public:
  explicit CdlgAbout(kelp::ui::Host& host);

 protected:
  bool OnInitDialog() override;
};

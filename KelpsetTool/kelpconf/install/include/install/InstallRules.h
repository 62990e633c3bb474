// The decisions of a program installation that need no dialog: which selected products still
// need installing, what must be done on the board first, and the time limits of the NAS OS
// steps. The dialogs show the messages these decisions name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/ProductRecord.h"
#include "media/CatalogueEntry.h"
#include "plat/Clock.h"

namespace install {

using ProductList = std::vector<board::ProductRecord>;

// Operations a patch needs before it is installed (the agent's check flags).
inline constexpr std::uint32_t kPreStopCluster = 0x1;
inline constexpr std::uint32_t kPreStopNode = 0x2;
inline constexpr std::uint32_t kPreStopService = 0x4;
// Results of the patch check.
inline constexpr std::uint32_t kPatchNotNeeded = 0x500;
inline constexpr std::uint32_t kPatchWrongNasOs = 0x502;
// Fixed result codes of the installation worker (besides agent::kResultTimeout).
inline constexpr std::uint32_t kCodeMpBlockade = 22;
// The wait for the NAS OS to run after the boot, and its poll period.
inline constexpr plat::Millis kBootLimit{1920'000};
inline constexpr plat::Millis kRunningPoll{2000};
inline constexpr std::uint32_t kBootLimitMinutes = 32;

bool IsPatch(const board::ProductRecord& record);
// A NAS OS whose installer starts it by itself: versions "01-...".
bool BootsByItself(const board::ProductRecord& record);
// The install limit of a record: its Timeout minutes in logical milliseconds (64-bit).
plat::Millis InstallLimit(const board::ProductRecord& record);

// What the board tells about itself and the products to install.
class BoardFacts {
 public:
  virtual ~BoardFacts() = default;
  virtual bool IsExistLinux() const = 0;
  virtual bool IsOsRunning() const = 0;
  // 1: the media version may be installed over the installed one.
  virtual int CompareProductVersion(const board::ProductRecord& record) const = 0;
  // The agent's patch check: 0 or the exchange's error; *pulFlags and *pulResult as the agent
  // answers.
  virtual std::uint32_t SutInstallCheck(const board::ProductRecord& record, std::uint32_t* pulFlags,
                                        std::uint32_t* pulResult) const = 0;
};

// The outcome of IsInstallNecessary: go on (possibly after question 4009 when ulPreOps is set)
// with list, or stop after ulMessage (0: no message, e.g. a failed check call).
struct Necessity {
  bool bGoOn = false;
  ProductList list;
  std::size_t nOsCount = 0;  // the NAS OS records still at the head of list
  std::uint32_t ulMessage = 0;
  std::uint32_t ulPreOps = 0;
};
// nOsCount: the NAS OS records at the head of list.
Necessity IsInstallNecessary(const BoardFacts& board, ProductList list, std::size_t nOsCount, bool bForcibly);
// The lines of question 4009: "- %s\n" per operation; stopping the cluster covers the others.
std::string PreOperationLines(std::uint32_t ulPreOps);

// The time a product has taken against its limit, as the progress shows it: "[12:05 of 30:00]"
// (hours appear once a value reaches one).
std::string ElapsedText(plat::Millis elapsed, plat::Millis limit);

// The limits of an inherit installation over products: every Timeout plus the boot limit, and
// the wait for a board's thread (that total plus five minutes).
struct InheritLimits {
  plat::Millis total{0};
  plat::Millis wait{0};
};
InheritLimits GetInheritLimits(const ProductList& products);

// The products of an inherit installation from the medium's records in catalogue order: the
// NAS OS of the highest version first, the other NAS OS records left out, then every product.
// *pnOsCount is 1 when a NAS OS was found.
ProductList InheritProducts(const std::vector<media::CatalogueEntry>& catalogue, std::size_t* pnOsCount);

// The checked rows of a product list whose rows are the catalogue's entries in order: their
// records (NAS OS first), how many are NAS OS, and whether any row was left unchecked.
struct Selection {
  ProductList products;
  std::size_t nOsCount = 0;
  bool bSomeLeftOut = false;
};
Selection SelectProducts(const std::vector<media::CatalogueEntry>& rows, const std::vector<bool>& checked);

// The NAS OS records of a selection: only the first is kept (the others are returned in
// *pRefused); the NAS OS stays at the head of the list.
ProductList KeepFirstNasOs(ProductList list, std::size_t* pnOsCount, ProductList* pRefused);

}  // namespace install

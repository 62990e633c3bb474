// The installation medium: where it is, and the catalogue of its products.
//
// A medium is a root folder with "MP" (the product files, each with a description file
// "*.os", "*.sut", "*.req" or "*.opt") and "netboot" (the network-boot tree, named in C:\tftp.ini
// as the TFTP root). The catalogue holds one list per kind, ordered by description file name.
//
// Sharing: the lists are immutable once built and handed out as shared pointers, single records
// as copies; an operation that took them keeps them however soon the catalogue is replaced by a
// new CusrMedia. One object is used by one thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/ProductRecord.h"
#include "media/CatalogueEntry.h"

namespace media {

inline constexpr const char* kProcMounts = "/proc/self/mounts";

// The medium's root as the main dialog keeps it. bRootIsMP: the root already names the product
// folder (an Install_files setting), so no "MP" is appended.
struct MediaLocation {
  std::string strRoot;
  bool bRootIsMP = false;
};

// What locating the medium at start-up found. ulError: 0, or SetInstallDevice's error (24) when
// C:\tftp.ini could not be written; the location is valid either way.
struct LocateResult {
  MediaLocation location;
  std::uint32_t ulError = 0;
};

}  // namespace media

class CusrMedia {
 public:
  static constexpr std::size_t kKinds = 4;  // NAS OS, SUT, REQ, OPT, in this order
  static constexpr std::uint32_t kErrNoCdRom = 6;
  static constexpr std::uint32_t kErrNoMemory = 4;
  static constexpr std::uint32_t kErrTftpIni = 24;

  using ProductList = std::vector<board::ProductRecord>;
  // One slot per kind; null when the kind has no valid product.
  using ProductArray = std::array<std::shared_ptr<const ProductList>, kKinds>;

  // An empty catalogue and media folder. location: the medium's root (from the main dialog);
  // mountsFile: the mounts table the CD-ROM search reads.
  explicit CusrMedia(media::MediaLocation location = {}, std::filesystem::path mountsFile = media::kProcMounts);

  // Finds the medium at start-up from strInstallFiles ([FtpService] Install_files as the
  // application read it; at most 259 characters count), else the first CD-ROM, else drive C:,
  // and records its netboot folder with SetInstallDevice. The object then uses the location found.
  media::LocateResult LocateInstallMedia(std::string strInstallFiles);

  // The first mounted CD-ROM (iso9660 or udf, in mount order): 0, or 6 when there is none.
  std::uint32_t SearchCDROM(std::string* pstrDrive) const;
  // The media folder: the root, followed by "/MP" unless the root is the product folder. 0.
  std::uint32_t GetInstallFilesPath(std::string* pstrPath) const;
  // Writes strRoot + "/netboot" as [Parameters] "File Path" of C:\tftp.ini: 0, or 24.
  std::uint32_t SetInstallDevice(const std::string& strRoot) const;

  // Reads one description file: 1 valid, 0 invalid (traced, message 3507 made for the trace).
  // The time-out comes back as plain minutes ("1" when empty).
  int ReadPPEnvFile(const std::filesystem::path& envFile, std::string* pstrName, std::string* pstrVersion,
                    std::string* pstrFile, std::string* pstrTimeout, std::string* pstrBuild) const;
  // The product file must exist as a regular file (the path found replaces the given one; names
  // match regardless of case, as on the medium's original file system) and the time-out be
  // valid: 1, else 0.
  int CheckEnvFile(std::string* pstrFilePath, std::string* pstrTimeout) const;
  std::uint32_t SetPPInfo(board::ProductRecord* pRecord, const std::string& strName, const std::string& strVersion,
                          const std::string& strFilePath, const std::string& strTimeout,
                          const std::string& strEnvFileName, const std::string& strBuild) const;
  // Builds the catalogue from the media folder: 0, or 4 when memory ran out (message 3503 made
  // for the trace). Invalid description files are traced and skipped.
  std::uint32_t CreateProductArrayInMedia();
  // The media folder can still be read (the medium may have been taken out since the catalogue
  // was built); otherwise traced and message 3533 shown.
  bool CheckMediaFolder() const;

  // The catalogue: the four slots, sharing the immutable lists.
  ProductArray GetProductArrayInMedia() const { return m_products; }
  // Every record with its identity, kinds and lists in order (the order the dialogs list them).
  std::vector<media::CatalogueEntry> GetCatalogueEntries() const;
  // A copy of the record of that identity; none when the catalogue has no such record.
  std::optional<board::ProductRecord> GetPPInfoEx(const media::ProductKey& key) const;
  // True when the identity names a NAS OS record.
  static bool IsOS(const media::ProductKey& key) { return key.nKind == media::kKindNasOs; }

  const std::string& MediaFolder() const { return m_strMediaFolder; }
  const media::MediaLocation& Location() const { return m_location; }

 private:
  media::MediaLocation m_location;
  std::filesystem::path m_mountsFile;
  std::string m_strMediaFolder;
  ProductArray m_products;
};

// The trace log writer: one rotated, size-limited text log per process.
//
// Files, for B = directory + base name: B.log is the live file; B.0 .. B.<generations-1> are
// rotated files, the higher the newer. Every line is appended with one write() and so reaches
// the file whole and at once, even if the program is killed right after.
//
// Lines of every thread and of every process tracing into the same files are serialised by the
// variant's named mutex, held for the whole of Write (rotation and header included). Beside the
// mutex, in a small file of the runtime dir that every process maps shared, the last writer
// leaves which file is live and its size. A writer whose open file is the one recorded there
// takes the size from the record and appends with one writev; only when the record names another
// file (another process rotated, or traces elsewhere under the same name) does it look the live
// name up on disk, continuing in the file that now carries it. So several processes share one
// set of files without a line going to a rotated or deleted file, and no file grows past the
// limit because each process only knew its own lines. The record is cleared while a writer is at
// work, so a writer dying half-way leaves the next one to ask the disk.
//
// Result codes (0 = success) depend on the program variant; see TraceVariant.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/TraceLevels.h"
#include "common/TraceSink.h"

namespace plat {
class NamedMutex;
}

// Reads the VELAPI library revision for the kelpconf header: same contract as
// dsvp_VELAPIRevision (three caller buffers of 16, 16 and 40 bytes, error word; returns 1 on
// success). The program installs it; the trace module does not link the library.
using TraceRevisionProvider = int (*)(char* cRev, char* ciRev, char* cCopyright, std::uint32_t* lpErrInfo);
void SetTraceRevisionProvider(TraceRevisionProvider provider);

// What differs between the kelpconf and kelpftpd builds of the trace module.
struct TraceVariant {
  TraceProgram program;
  const char* mutexName;          // serialises Write across threads and processes
  std::uint32_t titleStringId;    // first header line
  std::uint32_t versionStringId;  // second header line, "%s" = module version
  bool revisionLine;              // third header line from the revision provider
  std::uint32_t resultFileError;  // Open: file cannot be opened or measured
  std::uint32_t openErrorCode;    // out error when Open cannot open the file
  std::uint32_t resultNoMemory;   // Open: out of memory
  std::uint32_t resultWriteError; // Write: a line could not be written
  std::uint32_t resultRotateError;// Rotate: delete, rename or reopen failed
  std::uint32_t rotateOpenErrorCode;  // out error when the new live file cannot be opened
  std::uint32_t resultNoRevision; // the revision provider failed (kelpconf only)
};

extern const TraceVariant kKelpconfTraceVariant;
extern const TraceVariant kKelpftpdTraceVariant;
const TraceVariant& TraceVariantOf(TraceProgram program);

// The file sink: WriteLine is Write with the result dropped.
class CusrTrace : public common::TraceSink {
 public:
  explicit CusrTrace(const TraceVariant& variant = kKelpconfTraceVariant);
  ~CusrTrace() override;
  CusrTrace(const CusrTrace&) = delete;
  CusrTrace& operator=(const CusrTrace&) = delete;

  // Opens (appending) directory/baseName.log and writes the start line. A directory that is
  // empty, missing or not a folder means "./". Size in MB outside 1..10 means 2 MB;
  // generations outside 1..10 mean 2. Returns 0 or the variant's error result, with the code
  // in *pulError (may be null).
  std::uint32_t Open(std::string_view directory, std::string_view baseName, int nSizeMB, int nGenerations,
                     std::uint32_t* pulError);
  // Appends one line (a line feed is added), rotating first when it would not fit and writing
  // the header into a new or empty file. A closed trace drops the line and returns 0.
  std::uint32_t Write(std::string_view line, std::uint32_t* pulError);
  // Closes the live file and resets every field.
  void Close();
  // Shifts the generations: B.0 deleted, B.i renamed to B.(i-1), B.log to B.(generations-1),
  // new B.log opened, all under the mutex. After a failure no file is open and later lines are
  // dropped.
  std::uint32_t Rotate(std::uint32_t* pulError);

  void WriteLine(std::string_view line) override;

  const TraceVariant& Variant() const { return m_variant; }
  const std::string& Directory() const { return m_strDirectory; }
  const std::string& BaseName() const { return m_strBaseName; }
  std::uint32_t MaxSize() const { return m_ulMaxSize; }
  std::uint32_t CurrentSize() const { return m_ulCurrentSize; }
  int Generations() const { return m_nGenerations; }
  bool IsOpen() const { return m_fd >= 0; }

 private:
  std::string BasePath() const;
  std::uint32_t OpenLiveFile();
  void CloseLiveFile();
  std::uint32_t FollowRotationByOthers();
  std::uint32_t WriteHeader(std::uint32_t* pulError);
  std::uint32_t WriteLocked(std::string_view line, bool bLocked, std::uint32_t* pulError);
  std::uint32_t RotateLocked(std::uint32_t* pulError);

  const TraceVariant& m_variant;
  int m_nGenerations = 0;
  std::uint32_t m_ulCurrentSize = 0;
  std::uint32_t m_ulMaxSize = 0;
  std::string m_strDirectory;
  std::string m_strBaseName;
  int m_fd = -1;
  std::uint64_t m_ino = 0;  // identity of the open live file, to notice a rotation by another process
  std::uint64_t m_dev = 0;
  std::unique_ptr<plat::NamedMutex> m_pMutex;  // kept for the object's life: opened once, not per line
  class SharedRecord;
  std::unique_ptr<SharedRecord> m_pShared;  // the live-file record beside the mutex; null when it cannot be mapped
};

// Process-wide: installs the active trace sink and the level mask (written once at start-up,
// before other threads exist; SetTrace(nullptr, 0) removes it again). common::ProcessContext
// does both for a program or a test.
void SetTrace(common::TraceSink* pTrace, std::uint32_t ulMask);
common::TraceSink* GetTrace();

namespace trace_detail {
extern std::atomic<std::uint32_t> g_ulMask;
}

// Inline, so that a line the mask rejects costs one load, one AND and a comparison.
inline std::uint32_t GetTraceMask() { return trace_detail::g_ulMask.load(std::memory_order_relaxed); }

// True when a line of this level would be written; lets callers skip building texts.
inline bool TraceOn(std::uint32_t ulLevel) { return (ulLevel & GetTraceMask()) != 0; }

// The line formatter: "date time pid tid tag text", handed to the installed sink. Does nothing
// when level is 0; tracing never fails its caller. The level is not ANDed with the mask here;
// CusrTraceScope and common::TraceLine do that.
void WriteTraceLine(std::string_view text, std::string_view tag, std::uint32_t ulLevel);

// The line prefix "yyyy/mm/dd hh:mm:ss.mmm pppppppp tttttttt " for the current moment; always
// this many characters.
std::string TraceLinePrefix();
inline constexpr std::size_t kTraceLinePrefixSize = 42;

// The program's version text, "5, 0, 1, 0", copied into a buffer of 256 bytes.
void GetModuleVersion(char* pszBuffer);

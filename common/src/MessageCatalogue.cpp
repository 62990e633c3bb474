#include "common/MessageCatalogue.h"

#include <algorithm>
#include <initializer_list>
#include <span>

#include "StringResources.h"
#include "StringTable.h"
#include "common/MessageBoxStyle.h"
#include "common/StringIds.h"

namespace {

// The message table of kelpconf, as id ranges per kind and per style. Every row has style
// kStyleOk unless listed under another style.
struct IdRange {
  std::uint32_t first;
  std::uint32_t last;
};

constexpr std::uint32_t kStyleOk = MB_TOPMOST | MB_TASKMODAL | MB_OK;                               // 0x42000
constexpr std::uint32_t kStyleOkCancel = MB_TOPMOST | MB_TASKMODAL | MB_DEFBUTTON2 | MB_OKCANCEL;     // 0x42101
constexpr std::uint32_t kStyleYesNo = MB_TOPMOST | MB_TASKMODAL | MB_YESNO;                         // 0x42004
constexpr std::uint32_t kStyleYesNoCancel = MB_TOPMOST | MB_TASKMODAL | MB_DEFBUTTON3 | MB_YESNOCANCEL;  // 0x42203

constexpr IdRange kInformation[] = {
    {3518, 3518}, {3530, 3530}, {3537, 3542}, {3545, 3545}, {3547, 3550}, {3593, 3593}, {3615, 3615},
    {3620, 3620}, {3622, 3622}, {3646, 3646}, {3649, 3649}, {3831, 3831}, {4010, 4010}, {4012, 4012},
    {4025, 4025}, {4033, 4033}, {4036, 4036},
};
constexpr IdRange kWarning[] = {
    {3490, 3499}, {3504, 3504}, {3544, 3544}, {3558, 3571}, {3578, 3578}, {3583, 3584}, {3589, 3589},
    {3592, 3592}, {3597, 3599}, {3609, 3614}, {3616, 3619}, {3621, 3621}, {3633, 3639}, {3643, 3643},
    {3650, 3650}, {3653, 3653}, {3690, 3691}, {3742, 3742}, {3783, 3783}, {3802, 3802}, {3805, 3805},
    {3816, 3818}, {3827, 3827}, {3829, 3830}, {3847, 3847}, {3851, 3851}, {4009, 4009}, {4015, 4015},
    {4020, 4020}, {4022, 4024}, {4027, 4029}, {4034, 4034}, {4039, 4039},
};
constexpr IdRange kError[] = {
    {3501, 3503}, {3505, 3509}, {3514, 3517}, {3519, 3529}, {3531, 3536}, {3543, 3543}, {3546, 3546},
    {3551, 3554}, {3556, 3557}, {3586, 3586}, {3588, 3588}, {3596, 3596}, {3640, 3640}, {3644, 3645},
    {3647, 3648}, {3784, 3784}, {3801, 3801}, {3803, 3804}, {3807, 3807}, {3813, 3815}, {3819, 3820},
    {3822, 3823}, {3828, 3828}, {3832, 3833}, {3850, 3850}, {4001, 4008}, {4011, 4011}, {4013, 4014},
    {4016, 4019}, {4026, 4026}, {4030, 4032}, {4035, 4035}, {4037, 4038},
};
constexpr IdRange kOkCancel[] = {
    {3493, 3497}, {3499, 3499}, {3549, 3549}, {3566, 3571}, {3583, 3584}, {3598, 3599}, {3609, 3612},
    {3614, 3614}, {3619, 3619}, {3621, 3621}, {3638, 3638}, {3646, 3646}, {3690, 3690}, {3742, 3742},
    {3814, 3814}, {3816, 3818}, {3827, 3827}, {3829, 3830}, {4009, 4009}, {4015, 4015}, {4020, 4020},
    {4023, 4024}, {4034, 4034},
};
constexpr IdRange kYesNo[] = {{3593, 3593}};
constexpr IdRange kYesNoCancel[] = {{3498, 3498}};

// kelpftpd carries kelpconf's table without these rows.
constexpr IdRange kNotInKelpftpd[] = {{3490, 3499}, {4016, 4016}, {4019, 4020}, {4022, 4039}};
// The message texts kelpftpd carries: those it shows.
constexpr IdRange kKelpftpdTexts[] = {{3501, 3503}, {3507, 3507}, {3514, 3514}};

bool InRanges(std::span<const IdRange> ranges, std::uint32_t id) {
  return std::any_of(ranges.begin(), ranges.end(), [id](const IdRange& r) { return id >= r.first && id <= r.last; });
}

std::uint32_t StyleOf(std::uint32_t id) {
  if (InRanges(kOkCancel, id)) return kStyleOkCancel;
  if (InRanges(kYesNo, id)) return kStyleYesNo;
  if (InRanges(kYesNoCancel, id)) return kStyleYesNoCancel;
  return kStyleOk;
}

std::vector<MessageRow> BuildRows(TraceProgram program) {
  std::vector<MessageRow> rows;
  const std::pair<std::span<const IdRange>, std::uint32_t> kinds[] = {
      {kInformation, MSG_KIND_INFO}, {kWarning, MSG_KIND_WARNING}, {kError, MSG_KIND_ERROR}};
  for (const auto& [ranges, kind] : kinds) {
    for (const IdRange& r : ranges) {
      for (std::uint32_t id = r.first; id <= r.last; ++id) {
        if (program == TraceProgram::Kelpftpd && InRanges(kNotInKelpftpd, id)) continue;
        rows.push_back({id, kind, StyleOf(id)});
      }
    }
  }
  std::sort(rows.begin(), rows.end(), [](const MessageRow& a, const MessageRow& b) { return a.id < b.id; });
  rows.push_back({MSG_ID_END, MSG_KIND_WARNING, kStyleOk});
  return rows;
}

const char* FindString(std::span<const kelp::StringEntry> table, std::uint32_t id) {
  const auto it = std::lower_bound(table.begin(), table.end(), id,
                                   [](const kelp::StringEntry& e, std::uint32_t v) { return e.id < v; });
  return (it != table.end() && it->id == id) ? it->text : nullptr;
}

constexpr std::size_t kMaxStringBytes = 511;  // a string resource is loaded into 512 bytes

}  // namespace

MessageCatalogue::MessageCatalogue(TraceProgram program, std::vector<MessageRow> rows)
    : m_program(program), m_rows(std::move(rows)) {}

const MessageCatalogue& MessageCatalogue::Of(TraceProgram program) {
  static const MessageCatalogue kelpconf(TraceProgram::Kelpconf, BuildRows(TraceProgram::Kelpconf));
  static const MessageCatalogue kelpftpd(TraceProgram::Kelpftpd, BuildRows(TraceProgram::Kelpftpd));
  return program == TraceProgram::Kelpftpd ? kelpftpd : kelpconf;
}

std::size_t MessageCatalogue::Find(std::uint32_t id) const {
  std::size_t i = 0;
  while (m_rows[i].id != id && m_rows[i].id != MSG_ID_END) ++i;
  return i;
}

std::string MessageCatalogue::LoadString(std::uint32_t id) const { return LoadStringResource(m_program, id); }

std::string MessageCatalogue::Title() const { return LoadString(str::kBoxTitle); }

std::string LoadStringResource(TraceProgram program, std::uint32_t id) {
  const char* text = nullptr;
  if (program == TraceProgram::Kelpconf) {
    text = FindString(kelp::KelpconfStringsEn(), id);
  } else {
    text = FindString(kelp::KelpftpdOwnStringsEn(), id);
    if (text == nullptr && InRanges(kKelpftpdTexts, id)) text = FindString(kelp::KelpconfStringsEn(), id);
  }
  if (text == nullptr) return {};
  std::string s(text);
  if (s.size() > kMaxStringBytes) s.resize(kMaxStringBytes);
  return s;
}

std::string FormatStringResource(TraceProgram program, std::uint32_t id, const std::vector<std::string>& args) {
  return FormatWithTextArgs(LoadStringResource(program, id), args);
}

const char* MessageKindLetter(std::uint32_t kind) {
  switch (kind) {
    case MSG_KIND_INFO: return "I";
    case MSG_KIND_WARNING: return "W";
    case MSG_KIND_ERROR: return "E";
    default: return "";
  }
}

std::uint32_t MessageKindIcon(std::uint32_t kind) {
  switch (kind) {
    case MSG_KIND_INFO: return MB_ICONASTERISK;
    case MSG_KIND_WARNING: return MB_ICONEXCLAMATION;
    case MSG_KIND_ERROR: return MB_ICONHAND;
    default: return 0;
  }
}

std::string FormatWithTextArgs(std::string_view format, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(format.size() + 64);
  std::size_t nextArg = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      out.push_back(c);
      continue;
    }
    if (format[i + 1] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    // Skip flags, width, precision and length, then the conversion letter.
    std::size_t j = i + 1;
    while (j < format.size() && std::string_view("-+ #0123456789.hlLqjzt").find(format[j]) != std::string_view::npos) ++j;
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    if (nextArg < args.size()) out.append(args[nextArg]);
    ++nextArg;
    i = j;
  }
  return out;
}

MessageButtons ButtonsOfStyle(std::uint32_t ulStyle) {
  MessageButtons b{{IDOK, 0, 0}, 1, IDOK};
  switch (ulStyle & MB_TYPEMASK) {
    case MB_OKCANCEL: b = {{IDOK, IDCANCEL, 0}, 2, IDOK}; break;
    case MB_YESNOCANCEL: b = {{IDYES, IDNO, IDCANCEL}, 3, IDYES}; break;
    case MB_YESNO: b = {{IDYES, IDNO, 0}, 2, IDYES}; break;
    default: break;
  }
  const int nDefIndex = static_cast<int>((ulStyle & MB_DEFMASK) >> 8);
  if (nDefIndex < b.nCount) b.nDefault = b.aButtons[nDefIndex];
  return b;
}

const char* ButtonName(int nButton) {
  switch (nButton) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "";
  }
}

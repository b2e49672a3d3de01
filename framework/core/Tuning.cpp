// Live tuning: the site registry and the source re-parser.
#include "framework/core/Tuning.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "framework/core/Common.h"
#include "framework/core/OrvoAppBase.h"
#include "platform/Folders.h"
#include "platform/MessageBox.h"

namespace Orvo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMacroName = "ORVO_MODVAL";

bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// One literal read from a marked site's argument.
struct ParsedValue {
  enum Form { Integer, Decimal, Text, Token } mForm = Integer;
  long long mInteger = 0;
  double mDouble = 0.0;
  std::string mText;
};

void SkipSpaces(const std::string& s, std::size_t* i) {
  while (*i < s.size() && std::isspace(static_cast<unsigned char>(s[*i]))) ++*i;
}

// Reads the macro's argument starting at `i` (just after its '(') up to the closing ')'.
bool ParseArgument(const std::string& s, std::size_t i, ParsedValue* out) {
  SkipSpaces(s, &i);
  if (i >= s.size()) return false;
  const char c = s[i];
  if (c == '"') {
    out->mForm = ParsedValue::Text;
    for (++i; i < s.size() && s[i] != '"'; ++i) {
      if (s[i] == '\\') {
        if (++i >= s.size()) return false;
        const char e = s[i];
        out->mText += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == '0' ? '\0' : e;
      } else {
        out->mText += s[i];
      }
    }
    if (i >= s.size()) return false;
    ++i;
  } else if (c == '-' || c == '+' || c == '.' || std::isdigit(static_cast<unsigned char>(c))) {
    std::size_t start = i;
    const bool negative = c == '-';
    if (c == '-' || c == '+') ++i;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
      std::size_t digits = i + 2, end = digits;
      while (end < s.size() && std::isxdigit(static_cast<unsigned char>(s[end]))) ++end;
      if (end == digits || end - digits > 16) return false;
      const unsigned long long magnitude = std::strtoull(s.substr(digits, end - digits).c_str(), nullptr, 16);
      out->mForm = ParsedValue::Integer;
      out->mInteger = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
      i = end;
    } else {
      std::size_t end = i;
      bool decimal = false;
      while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
      if (end < s.size() && s[end] == '.') {
        decimal = true;
        ++end;
        while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
      }
      if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
        decimal = true;
        ++end;
        if (end < s.size() && (s[end] == '-' || s[end] == '+')) ++end;
        const std::size_t expDigits = end;
        while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end]))) ++end;
        if (end == expDigits) return false;
      }
      const std::string number = s.substr(start, end - start);
      if (number.find_first_of("0123456789") == std::string::npos) return false;
      errno = 0;
      char* stop = nullptr;
      if (decimal) {
        out->mForm = ParsedValue::Decimal;
        out->mDouble = std::strtod(number.c_str(), &stop);
      } else {
        out->mForm = ParsedValue::Integer;
        out->mInteger = std::strtoll(number.c_str(), &stop, 10);
      }
      if (errno == ERANGE || stop == nullptr || *stop != '\0') return false;
      i = end;
      if (decimal && i < s.size() && (s[i] == 'f' || s[i] == 'F')) ++i;
    }
    while (i < s.size() && (s[i] == 'u' || s[i] == 'U' || s[i] == 'l' || s[i] == 'L')) ++i;
  } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
    out->mForm = ParsedValue::Token;
    while (i < s.size() && IsIdentChar(s[i])) out->mText += s[i++];
  } else {
    return false;
  }
  SkipSpaces(s, &i);
  return i < s.size() && s[i] == ')';
}

// Puts a parsed literal into a copy of the record; false when it does not fit its kind.
bool ApplyValue(const ParsedValue& v, ModValRecord* r) {
  switch (r->mKind) {
    case ModValKind::Integer:
      if (v.mForm == ParsedValue::Token) return true;  // a named constant: nothing to read
      if (v.mForm != ParsedValue::Integer) return false;
      r->mInteger = v.mInteger;
      return true;
    case ModValKind::Double:
      if (v.mForm == ParsedValue::Token) return true;
      if (v.mForm == ParsedValue::Integer) r->mDouble = static_cast<double>(v.mInteger);
      else if (v.mForm == ParsedValue::Decimal) r->mDouble = v.mDouble;
      else return false;
      return true;
    case ModValKind::Bool:
      if (v.mForm == ParsedValue::Integer) r->mBool = v.mInteger != 0;
      else if (v.mForm == ParsedValue::Token && (v.mText == "true" || v.mText == "false")) r->mBool = v.mText == "true";
      else return v.mForm == ParsedValue::Token;
      return true;
    case ModValKind::Text:
      if (v.mForm != ParsedValue::Text) return false;
      r->mText = v.mText;
      return true;
  }
  return false;
}

}  // namespace

bool ParseModValTag(std::string* text, int* line, int* counter) {
  const std::string& s = *text;
  std::size_t start = s.size();
  int commas = 0;
  while (start > 0) {
    const char c = s[start - 1];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      --start;
    } else if (c == ',' && commas == 0) {
      ++commas;
      --start;
    } else {
      break;
    }
  }
  if (start == 0 || start == s.size()) return false;
  int l = 0, k = 0;
  if (std::sscanf(s.c_str() + start, "%d,%d", &l, &k) != 2) return false;
  *line = l;
  *counter = k;
  text->resize(start);
  return true;
}

ModValRegistry::ModValRegistry() {
  mReporter = [](const std::string& text, const std::string& title) {
    if (gOrvoAppBase != nullptr) gOrvoAppBase->ShowMessageBox(text, title, plat::MB_OK);
    else plat::MessageBoxA(nullptr, text.c_str(), title.c_str(), plat::MB_OK);
  };
}

void ModValRegistry::Report(const std::string& text, const std::string& title) {
  if (mReporter) mReporter(text, title);
}

ModValRecord* ModValRegistry::Register(const char* tag, const ModValRecord& initial) {
  mRecords.push_back(std::make_unique<ModValRecord>(initial));
  ModValRecord* record = mRecords.back().get();
  std::string file = tag != nullptr ? tag : "";
  int line = 0, counter = 0;
  if (!ParseModValTag(&file, &line, &counter)) return record;
  FileEntry& entry = mFiles[file];
  entry.mHasValues = true;
  entry.mSites[{line, counter}] = record;
  return record;
}

ModValRecord* ModValRegistry::Find(const std::string& file, int line, int counter) const {
  auto f = mFiles.find(file);
  if (f == mFiles.end()) return nullptr;
  auto s = f->second.mSites.find({line, counter});
  return s == f->second.mSites.end() ? nullptr : s->second;
}

bool ModValRegistry::ParseFile(const std::string& path, const FileEntry& entry, Staged* staged) {
  // Source files are small; anything that is not a plain file of sensible size is refused.
  constexpr std::size_t kMaxSourceBytes = 64u << 20;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, &bytes, kMaxSourceBytes)) {
    Report("ERROR: Unable to open " + path + " for reparsing.", "MODVAL ERROR!");
    return false;
  }
  // The registered counters of each line, in order: the n-th marked value on a line is the
  // site with the n-th smallest counter.
  std::map<int, std::vector<std::pair<int, ModValRecord*>>> byLine;
  for (const auto& [site, record] : entry.mSites) byLine[site.first].emplace_back(site.second, record);

  auto fail = [&](int lineNo, const char* what) {
    Report(FormatString("ERROR in %s on line %d: %s", path.c_str(), lineNo, what), "MODVAL ERROR");
    return false;
  };
  auto parseError = [&](int lineNo) {
    Report(FormatString("ERROR in %s on line %d.  Parsing Error.", path.c_str(), lineNo), "MODVAL ERROR");
    return false;
  };

  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  bool inBlockComment = false;
  int blockCommentLine = 0;
  std::string rawEnd;          // the closing sequence of an open raw string literal
  int rawLine = 0;
  std::string s;
  int lineNo = 0;
  while (std::getline(in, s)) {
    ++lineNo;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    std::vector<std::size_t> arguments;  // positions just after "ORVO_MODVAL("
    std::size_t i = 0;
    while (i < s.size()) {
      if (!rawEnd.empty()) {
        const std::size_t end = s.find(rawEnd, i);
        if (end == std::string::npos) break;
        i = end + rawEnd.size();
        rawEnd.clear();
        continue;
      }
      if (inBlockComment) {
        const std::size_t end = s.find("*/", i);
        if (end == std::string::npos) break;
        i = end + 2;
        inBlockComment = false;
        continue;
      }
      const char c = s[i];
      const char next = i + 1 < s.size() ? s[i + 1] : '\0';
      if (c == '/' && next == '/') {
        // A backslash at the end would carry the comment into the next line, which the
        // build refuses (-Wcomment) and this reader does not follow.
        if (s.back() == '\\') return fail(lineNo, "Error parsing c++ comment");
        break;
      }
      if (c == '/' && next == '*') {
        inBlockComment = true;
        blockCommentLine = lineNo;
        i += 2;
        continue;
      }
      if (c == '"') {
        if (i > 0 && s[i - 1] == 'R' && (i < 2 || !IsIdentChar(s[i - 2]) || s[i - 2] == 'u' || s[i - 2] == 'U' ||
                                         s[i - 2] == 'L' || s[i - 2] == '8')) {
          const std::size_t open = s.find('(', i + 1);
          if (open == std::string::npos || open - i - 1 > 16) return fail(lineNo, "Error parsing quotes");
          rawEnd = ")" + s.substr(i + 1, open - i - 1) + "\"";
          rawLine = lineNo;
          i = open + 1;
          continue;
        }
        std::size_t j = i + 1;
        while (j < s.size() && s[j] != '"') j += s[j] == '\\' ? 2 : 1;
        if (j >= s.size()) return fail(lineNo, "Error parsing quotes");
        i = j + 1;
        continue;
      }
      if (c == '\'') {
        if (i > 0 && std::isxdigit(static_cast<unsigned char>(s[i - 1]))) {  // a digit separator
          ++i;
          continue;
        }
        std::size_t j = i + 1;
        while (j < s.size() && s[j] != '\'') j += s[j] == '\\' ? 2 : 1;
        if (j >= s.size()) return fail(lineNo, "Error parsing quotes");
        i = j + 1;
        continue;
      }
      if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        std::size_t j = i;
        while (j < s.size() && IsIdentChar(s[j])) ++j;
        if (s.compare(i, j - i, kMacroName) == 0) {
          std::size_t k = j;
          SkipSpaces(s, &k);
          if (k < s.size() && s[k] == '(') arguments.push_back(k + 1);
        }
        i = j;
        continue;
      }
      ++i;
    }

    auto sites = byLine.find(lineNo);
    if (sites == byLine.end()) continue;
    // A line that no longer holds its marked values (the file was edited around it) cannot
    // be matched to what the program was built from.
    if (arguments.size() != sites->second.size()) return parseError(lineNo);
    for (std::size_t n = 0; n < arguments.size(); ++n) {
      ParsedValue value;
      if (!ParseArgument(s, arguments[n], &value)) return parseError(lineNo);
      ModValRecord* record = sites->second[n].second;
      ModValRecord updated = *record;
      updated.mTexts.clear();
      if (!ApplyValue(value, &updated)) return parseError(lineNo);
      (*staged)[record] = std::move(updated);
    }
  }
  if (inBlockComment) return fail(blockCommentLine, "Error parsing c comment");
  if (!rawEnd.empty()) return fail(rawLine, "Error parsing quotes");
  for (const auto& [line, sites] : byLine)
    if (line > lineNo) return parseError(line);
  return true;
}

bool ModValRegistry::ReparseAll() {
  if (!mTimeStampSet) {
    std::error_code ec;
    const fs::file_time_type built = fs::last_write_time(plat::GetModuleFileName(), ec);
    mTimeStamp = ec ? fs::file_time_type::min() : built;
    mTimeStampSet = true;
  }

  Staged staged;
  bool anyChanged = false;
  fs::file_time_type newest = mTimeStamp;
  for (const auto& [path, entry] : mFiles) {
    if (!entry.mHasValues) continue;
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(path, ec);
    // A file that vanished counts as changed, so that the failure to read it is reported.
    if (!ec && written <= mTimeStamp) continue;
    anyChanged = true;
    if (!ParseFile(path, entry, &staged)) return false;
    if (!ec && written > newest) newest = written;
  }

  if (!anyChanged) {
    std::string list;
    for (const auto& [path, entry] : mFiles) {
      if (!list.empty()) list += "\r\n  ";
      list += path;
    }
    if (list.empty()) list = "none";
    Report("WARNING: No file changes detected.  Files parsed: \r\n  " + list, "MODVAL WARNING!");
    return false;
  }

  // Every file parsed: only now do the running values change.
  for (auto& [record, updated] : staged) {
    if (record->mKind == ModValKind::Text && updated.mText != record->mText) {
      record->mText = updated.mText;
      record->mTexts.push_back(updated.mText);
    }
    record->mInteger = updated.mInteger;
    record->mDouble = updated.mDouble;
    record->mBool = updated.mBool;
  }
  mTimeStamp = newest;
  return true;
}

ModValRegistry& GetModValRegistry() {
  static ModValRegistry* registry = new ModValRegistry;
  return *registry;
}

bool ReparseAll() { return GetModValRegistry().ReparseAll(); }

}  // namespace Orvo

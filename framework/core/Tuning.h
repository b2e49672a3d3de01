// Live tuning of marked constants. A constant written as ORVO_MODVAL(42) (or a double, a
// bool or a text literal) registers itself before main runs, under its source file, line
// and a counter; the running program reads its value from a heap record, and ReparseAll
// (Alt+R among the debug keys) re-reads the source files changed since the last time and
// puts the new literals into those records, without a rebuild.
//
// Several marked values on one line are told apart by the order of their counters, which
// follows their order on the line. Marked values belong in source files, not in headers
// (a header compiled into several files would register one line several times).
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace Orvo {

enum class ModValKind { Integer, Double, Bool, Text };

// The current value of one marked constant.
struct ModValRecord {
  ModValKind mKind = ModValKind::Integer;
  long long mInteger = 0;
  double mDouble = 0.0;
  bool mBool = false;
  std::string mText;
  // Every text value the record has held, the current one last: the pointers handed out
  // stay valid (and unchanged) after a re-parse replaced the text.
  std::deque<std::string> mTexts;

  template <typename T>
  T Get() const {
    if constexpr (std::is_same_v<T, bool>) {
      return mBool;
    } else if constexpr (std::is_integral_v<T>) {
      return static_cast<T>(mInteger);
    } else if constexpr (std::is_floating_point_v<T>) {
      return static_cast<T>(mDouble);
    } else {
      static_assert(std::is_same_v<T, const char*>, "marked values are numbers, bools or text literals");
      return mTexts.empty() ? "" : mTexts.back().c_str();
    }
  }

  template <typename T>
  static ModValRecord From(T value) {
    ModValRecord r;
    if constexpr (std::is_same_v<T, bool>) {
      r.mKind = ModValKind::Bool;
      r.mBool = value;
    } else if constexpr (std::is_integral_v<T>) {
      r.mKind = ModValKind::Integer;
      r.mInteger = static_cast<long long>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
      r.mKind = ModValKind::Double;
      r.mDouble = static_cast<double>(value);
    } else {
      r.mKind = ModValKind::Text;
      r.mText = value != nullptr ? value : "";
      r.mTexts.push_back(r.mText);
    }
    return r;
  }
};

// Splits a site tag "path<line>,<counter>": the trailing run of digits with at most one ','
// must be neither empty nor the whole text and must read as "%d,%d". On success `text` is cut
// to the path and true is returned; otherwise nothing changes.
bool ParseModValTag(std::string* text, int* line, int* counter);

class ModValRegistry {
 public:
  // Shows one message box (text, title); by default through the application.
  using Reporter = std::function<void(const std::string& text, const std::string& title)>;

  ModValRegistry();
  ModValRegistry(const ModValRegistry&) = delete;
  ModValRegistry& operator=(const ModValRegistry&) = delete;

  // Creates the value record of a site with its compiled value. A tag that does not parse
  // still gets a record (the value just cannot be tuned). Records live as long as the
  // registry, and the process's registry is never destroyed.
  ModValRecord* Register(const char* tag, const ModValRecord& initial);

  // Re-reads every registered file changed since the last re-parse (at first: since the
  // program file was written). False, with a message box, when a file cannot be read or
  // parsed (no value changes then) or when no file changed.
  bool ReparseAll();

  void SetReporter(Reporter reporter) { mReporter = std::move(reporter); }
  // The record of a registered site, or null.
  ModValRecord* Find(const std::string& file, int line, int counter) const;

 private:
  struct FileEntry {
    bool mHasValues = false;
    std::map<std::pair<int, int>, ModValRecord*> mSites;  // (line, counter)
  };
  using Staged = std::map<ModValRecord*, ModValRecord>;

  // Parses one file into `staged`; false after reporting the error.
  bool ParseFile(const std::string& path, const FileEntry& entry, Staged* staged);
  void Report(const std::string& text, const std::string& title);

  std::vector<std::unique_ptr<ModValRecord>> mRecords;
  std::map<std::string, FileEntry> mFiles;
  std::filesystem::file_time_type mTimeStamp{};
  bool mTimeStampSet = false;
  Reporter mReporter;
};

// The registry of the process (created on first use, never destroyed).
ModValRegistry& GetModValRegistry();
// ReparseAll on the process's registry.
bool ReparseAll();

// One marked site: its record is created while the program starts.
template <typename Site>
struct ModValSite {
  using Type = decltype(Site::Initial());
  static inline ModValRecord* sRecord = GetModValRegistry().Register(Site::Tag(), ModValRecord::From(Site::Initial()));
  static Type Get() { return sRecord != nullptr ? sRecord->Get<Type>() : Site::Initial(); }
};

}  // namespace Orvo

#define ORVO_MODVAL_STRINGIFY2(x) #x
#define ORVO_MODVAL_STRINGIFY(x) ORVO_MODVAL_STRINGIFY2(x)
// A tunable literal: evaluates to its current value, of the literal's own type.
#define ORVO_MODVAL(value)                                                                   \
  ([]() {                                                                                    \
    struct ModValSiteTag {                                                                   \
      static const char* Tag() {                                                             \
        return __FILE__ ORVO_MODVAL_STRINGIFY(__LINE__) "," ORVO_MODVAL_STRINGIFY(__COUNTER__); \
      }                                                                                      \
      static auto Initial() { return value; }                                                \
    };                                                                                       \
    return ::Orvo::ModValSite<ModValSiteTag>::Get();                                         \
  }())

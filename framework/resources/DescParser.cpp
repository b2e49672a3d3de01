// Descriptor parser: splits descriptor text into commands, commands into trees of data
// elements, and resolves named values (defines) for the derived command handlers.
#include "framework/resources/DescParser.h"

#include "framework/core/Common.h"
#include "framework/resources/PakInterface.h"

namespace Orvo {

namespace {
constexpr int kMaxListDepth = 1000;
thread_local int sListDepth = 0;  // nesting of the running Tokenize calls
}  // namespace

ListDataElement::ListDataElement(const ListDataElement& other) : DataElement(true) {
  for (const DataElement* e : other.mElementVector) mElementVector.push_back(e->Duplicate());
}

ListDataElement::~ListDataElement() { Clear(); }

void ListDataElement::Clear() {
  for (DataElement* e : mElementVector) delete e;
  mElementVector.clear();
}

void ListDataElement::Assign(const ListDataElement& other) {
  if (&other == this) return;
  Clear();
  for (const DataElement* e : other.mElementVector) mElementVector.push_back(e->Duplicate());
}

DescParser::DescParser() : mCmdSep(CMDSEP_SEMICOLON), mCurrentLineNum(0) {}

DescParser::~DescParser() { ClearDefines(); }

void DescParser::ClearDefines() {
  for (auto& entry : mDefineMap) delete entry.second;
  mDefineMap.clear();
}

void DescParser::SetDefine(const std::string& name, DataElement* value) {
  const std::string key = ToUpperCopy(name);
  auto it = mDefineMap.find(key);
  if (it != mDefineMap.end()) {
    delete it->second;
    it->second = value;
  } else {
    mDefineMap[key] = value;
  }
}

bool DescParser::Error(const std::string& message) {
  mError = message;
  return false;
}

DataElement* DescParser::FindDefine(const std::string& name) {
  auto it = mDefineMap.find(ToUpperCopy(name));
  return it == mDefineMap.end() ? nullptr : it->second;
}

bool DescParser::LoadFile(const std::string& fileName) {
  PakHandle* file = PakOpen(fileName.c_str(), "r");
  if (file == nullptr) return false;
  // The stream's end is taken from the read itself: a disk file reports its end only
  // after a read has failed, and that failed read must not become a character.
  const bool ok = ParseCharacters([file]() { return PakGetC(file); });
  PakClose(file);
  return ok;
}

bool DescParser::ParseText(const std::string& text) {
  std::size_t pos = 0;
  return ParseCharacters([&text, &pos]() {
    return pos < text.size() ? static_cast<int>(static_cast<unsigned char>(text[pos++])) : -1;
  });
}

template <class NextChar>
bool DescParser::ParseCharacters(NextChar nextChar) {
  bool inSingle = false, inDouble = false, escapePending = false;
  bool atLineStart = true, leadingBlank = false, inComment = false;
  int lineCount = 0;
  bool ok = true;
  mCurrentLine.clear();
  mCurrentLineNum = 0;

  auto endCommand = [&]() {
    if (!mCurrentLine.empty() && !ParseLine(mCurrentLine)) ok = false;
    mCurrentLine.clear();
  };
  auto store = [&](char c) {
    if (mCurrentLine.empty()) {
      // Blanks between commands are not kept, so a command's line is the line of its first word.
      if (c == ' ' || c == '\t' || c == '\n') return;
      mCurrentLineNum = lineCount + 1;
    }
    mCurrentLine += c;
  };

  for (int ch = nextChar(); ch >= 0 && ok; ch = nextChar()) {
    const char c = static_cast<char>(ch);
    if (c == '\r') continue;
    if (atLineStart) {
      if (c == ' ' || c == '\t') {
        leadingBlank = true;
        continue;
      }
      if (c == '\n') {
        ++lineCount;
        leadingBlank = false;
        continue;
      }
      if ((mCmdSep & CMDSEP_NO_INDENT) && !leadingBlank && !mCurrentLine.empty()) {
        endCommand();
        if (!ok) break;
      }
      if (c == '#') inComment = true;
      atLineStart = false;
    }
    if (c == '\n') {
      ++lineCount;
      leadingBlank = false;
      atLineStart = true;
      if (inComment) {
        inComment = false;
      } else {
        store(c);
      }
      continue;
    }
    if (inComment) continue;

    const bool inQuotes = inSingle || inDouble;
    if (c == '\\') {
      if (!inQuotes) {
        store(c);
      } else if (escapePending) {
        store('\\');
        store('\\');
        escapePending = false;
      } else {
        escapePending = true;
      }
      continue;
    }
    if ((c == '\'' && !inDouble) || (c == '"' && !inSingle)) {
      if (escapePending) {
        store('\\');
        escapePending = false;
      } else if (c == '\'') {
        inSingle = !inSingle;
      } else {
        inDouble = !inDouble;
      }
      store(c);
      continue;
    }
    if (c == ';' && !inQuotes && (mCmdSep & CMDSEP_SEMICOLON)) {
      endCommand();
      continue;
    }
    if (escapePending) {
      store('\\');
      escapePending = false;
    }
    store(c);
  }
  if (ok) endCommand();
  mCurrentLine.clear();
  mCurrentLineNum = 0;
  return ok;
}

bool DescParser::ParseLine(const std::string& command) {
  ListDataElement list;
  std::size_t pos = 0;
  if (!Tokenize(command, &list, false, pos)) return false;
  if (list.mElementVector.empty()) return true;
  if (list.mElementVector[0]->mIsList) return Error("Missing Command");
  return HandleCommand(list);
}

bool DescParser::Tokenize(const std::string& text, ListDataElement* list, bool inList, std::size_t& pos) {
  bool inSingle = false, inDouble = false, escaped = false;
  SingleDataElement* token = nullptr;
  auto append = [&](char c) {
    if (token == nullptr) {
      token = new SingleDataElement();
      list->Append(token);
    }
    token->mString += c;
  };

  while (pos < text.size()) {
    const char c = text[pos++];
    if (escaped) {
      append(c);
      escaped = false;
      continue;
    }
    if (c == '\\') {
      escaped = true;
      continue;
    }
    if (c == '\'' && !inDouble) {
      inSingle = !inSingle;
      append(c);
      continue;
    }
    if (c == '"' && !inSingle) {
      inDouble = !inDouble;
      append(c);
      continue;
    }
    if (inSingle || inDouble) {
      append(c);
      continue;
    }
    if (c == ')') {
      if (inList) return true;
      return Error("Unexpected List End");
    }
    if (c == '(') {
      // Nesting is bounded so that a hostile file cannot exhaust the stack.
      if (token != nullptr || sListDepth >= kMaxListDepth) return Error("Unexpected List Start");
      auto* sub = new ListDataElement();
      list->Append(sub);
      ++sListDepth;
      const bool ok = Tokenize(text, sub, true, pos);
      --sListDepth;
      if (!ok) return false;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == ',') {
      token = nullptr;
      continue;
    }
    append(c);
  }
  if (inSingle) return Error("Unterminated Single Quotes");
  if (inDouble) return Error("Unterminated Double Quotes");
  if (inList) return Error("Unterminated List");
  return true;
}

std::string DescParser::Unquote(const std::string& text) {
  if (text.empty() || (text[0] != '\'' && text[0] != '"')) return text;
  const char quote = text[0];
  std::string result;
  bool previousWasQuote = false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == quote) {
      // Of a run of quotes only the first disappears: a doubled quote stands for one.
      if (previousWasQuote) result += c;
      previousWasQuote = !previousWasQuote;
    } else {
      result += c;
      previousWasQuote = false;
    }
  }
  return result;
}

bool DescParser::ResolveDefines(const ListDataElement& source, ListDataElement* dest) {
  dest->Clear();
  for (const DataElement* element : source.mElementVector) {
    if (element->mIsList) {
      auto* sub = new ListDataElement();
      dest->Append(sub);
      if (!ResolveDefines(*static_cast<const ListDataElement*>(element), sub)) return false;
      continue;
    }
    const std::string& text = static_cast<const SingleDataElement*>(element)->mString;
    if (text.empty()) continue;
    const char first = text[0];
    if (first == '\'' || first == '"') {
      dest->Append(new SingleDataElement(Unquote(text)));
    } else if ((first >= '0' && first <= '9') || first == '-' || first == '+') {
      dest->Append(new SingleDataElement(text));
    } else {
      DataElement* value = FindDefine(text);
      if (value == nullptr) return Error("Unable to Dereference \"" + text + "\"");
      dest->Append(value->Duplicate());
    }
  }
  return true;
}

bool DescParser::DataToStringVector(const DataElement* source, std::vector<std::string>* out) {
  out->clear();
  ListDataElement resolved;
  const ListDataElement* list = nullptr;
  if (source->mIsList) {
    if (!ResolveDefines(*static_cast<const ListDataElement*>(source), &resolved)) return false;
    list = &resolved;
  } else {
    const std::string& name = static_cast<const SingleDataElement*>(source)->mString;
    DataElement* value = FindDefine(name);
    if (value == nullptr) return Error("Unable to Dereference \"" + name + "\"");
    if (!value->mIsList) return false;
    list = static_cast<const ListDataElement*>(value);
  }
  for (const DataElement* element : list->mElementVector) {
    if (element->mIsList) {
      out->clear();
      return false;
    }
    out->push_back(static_cast<const SingleDataElement*>(element)->mString);
  }
  return true;
}

namespace {

// Converts every text of the list with the parser given; the first that fails stops it.
template <class T, class Parse>
bool ConvertAll(const std::vector<std::string>& texts, std::vector<T>* out, Parse parse) {
  for (const std::string& text : texts) {
    T value{};
    if (!parse(text, &value)) return false;
    out->push_back(value);
  }
  return true;
}

}  // namespace

bool DescParser::DataToIntVector(const DataElement* source, std::vector<int>* out) {
  out->clear();
  std::vector<std::string> texts;
  return DataToStringVector(source, &texts) && ConvertAll(texts, out, ParseInt);
}

bool DescParser::DataToDoubleVector(const DataElement* source, std::vector<double>* out) {
  out->clear();
  std::vector<std::string> texts;
  return DataToStringVector(source, &texts) && ConvertAll(texts, out, ParseDouble);
}

}  // namespace Orvo

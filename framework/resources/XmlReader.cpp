// The manifest's pull parser: a character loop with a handful of flags (in quotes, pending
// space, in attributes, after '=', had quote) that turns the input into one element a call.
#include "framework/resources/XmlReader.h"

#include "framework/resources/PakInterface.h"

namespace Orvo {

namespace {

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t = tail;
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

template <typename String>
String DecodeEntities(const String& text) {
  using Char = typename String::value_type;
  struct Entity {
    const char* name;
    char replacement;
  };
  static constexpr Entity kEntities[] = {{"lt", '<'},     {"amp", '&'},  {"gt", '>'}, {"quot", '"'},
                                         {"apos", '\''}, {"nbsp", ' '}, {"cr", '\n'}};
  String out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != static_cast<Char>('&')) {
      out += text[i];
      continue;
    }
    const std::size_t semi = text.find(static_cast<Char>(';'), i + 1);
    if (semi == String::npos) {
      out += text[i];
      continue;
    }
    const String name = text.substr(i + 1, semi - i - 1);
    Char replacement = static_cast<Char>('&');
    for (const Entity& e : kEntities) {
      const std::string n = e.name;
      if (name.size() == n.size() && std::equal(name.begin(), name.end(), n.begin(),
                                                [](Char a, char b) { return a == static_cast<Char>(b); })) {
        replacement = static_cast<Char>(e.replacement);
        break;
      }
    }
    out += replacement;
    i = semi;
  }
  return out;
}

// The characters of a text this reader built with AppendUtf8 (always well formed).
std::vector<char32_t> Utf8Characters(const std::string& text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
    out.push_back(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace

bool XmlElement::AddAttribute(const std::string& name, const std::string& value) {
  const bool isNew = mAttributes.find(name) == mAttributes.end();
  mAttributes[name] = value;
  if (name != "/") mAttributeOrder.push_back(name);
  return isNew;
}

std::string DecodeXmlEntities(const std::string& text) { return DecodeEntities(text); }
std::wstring DecodeXmlEntities(const std::wstring& text) { return DecodeEntities(text); }

bool XmlReader::OpenFile(const std::string& fileName) {
  PakHandle* file = PakOpen(fileName.c_str(), "rb");
  if (file == nullptr) return false;
  // Manifests are small; a larger input is refused rather than read without end.
  constexpr std::size_t kMaxFileBytes = 64u << 20;
  std::string bytes;
  char chunk[4096];
  std::size_t n;
  while ((n = PakRead(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kMaxFileBytes) bytes.append(chunk, n);
  PakClose(file);
  if (bytes.size() > kMaxFileBytes) {
    OpenBuffer(std::string());
    mOpen = false;
    SetError("File too large: " + fileName);
    return false;
  }
  OpenBuffer(bytes);
  mFileName = fileName;
  return true;
}

void XmlReader::OpenBuffer(const std::string& bytes) {
  mFileName.clear();
  mErrorText.clear();
  mLineNum = 0;
  mHasFailed = false;
  mPushBack.clear();
  mSection.clear();
  mIllegalChar = false;
  mInput = bytes;
  mInputPos = 0;
  mEncoding = Encoding::Utf8;
  if (mInput.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    mInputPos = 3;
  } else if (mInput.compare(0, 2, "\xFF\xFE") == 0) {
    mEncoding = Encoding::Utf16Le;
    mInputPos = 2;
  } else if (mInput.compare(0, 2, "\xFE\xFF") == 0) {
    mEncoding = Encoding::Utf16Be;
    mInputPos = 2;
  }
  mOpen = true;
}

bool XmlReader::SetError(const std::string& text) {
  mHasFailed = true;
  mErrorText = text;
  return false;
}

bool XmlReader::DecodeNext(char32_t* c) {
  auto byteAt = [this](std::size_t i) { return static_cast<unsigned char>(mInput[i]); };
  if (mIllegalChar || mInputPos >= mInput.size()) return false;
  if (mEncoding != Encoding::Utf8) {
    auto unitAt = [&](std::size_t i) -> char32_t {
      return mEncoding == Encoding::Utf16Le ? (byteAt(i) | (byteAt(i + 1) << 8)) : ((byteAt(i) << 8) | byteAt(i + 1));
    };
    if (mInputPos + 2 > mInput.size()) return mIllegalChar = true, false;
    char32_t unit = unitAt(mInputPos);
    mInputPos += 2;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return mIllegalChar = true, false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (mInputPos + 2 > mInput.size()) return mIllegalChar = true, false;
      const char32_t low = unitAt(mInputPos);
      if (low < 0xDC00 || low > 0xDFFF) return mIllegalChar = true, false;
      mInputPos += 2;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    *c = unit;
    return true;
  }
  const unsigned char lead = byteAt(mInputPos);
  int extra = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    *c = lead;
    ++mInputPos;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return mIllegalChar = true, false;
  }
  if (mInputPos + static_cast<std::size_t>(extra) >= mInput.size()) return mIllegalChar = true, false;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char b = byteAt(mInputPos + static_cast<std::size_t>(k));
    if ((b & 0xC0) != 0x80) return mIllegalChar = true, false;
    value = (value << 6) | (b & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return mIllegalChar = true, false;
  mInputPos += static_cast<std::size_t>(extra) + 1;
  *c = value;
  return true;
}

bool XmlReader::NextChar(char32_t* c) {
  if (!mPushBack.empty()) {
    *c = mPushBack.back();
    mPushBack.pop_back();
    return true;
  }
  return DecodeNext(c);
}

bool XmlReader::ReadElement(XmlElement* element) {
  if (element == nullptr || !mOpen || mHasFailed) return false;
  for (;;) {
    XmlElement& e = *element;
    e = XmlElement{};
    e.mSection = mSection;

    bool inQuote = false;
    bool pendingSpace = false;
    bool inAttributes = false;
    bool afterEquals = false;
    bool hadQuote = false;
    bool instructionBody = false;
    std::string attrName;
    std::string attrValue;
    // Whether the value's last character is a '/' written outside quotes: only such a slash
    // closes the element ("images/" in quotes is a value, not the end of an empty tag).
    bool valueEndsInBareSlash = false;
    // The same for an attribute written without a value ("<Image path=x nopal/>").
    bool nameEndsInBareSlash = false;
    std::string lastAdded;
    bool lastAddedBareSlash = false;

    auto addPending = [&] {
      if (attrName.empty() && !afterEquals) return;
      const std::string name = DecodeXmlEntities(attrName);
      e.AddAttribute(name, DecodeXmlEntities(attrValue));
      if (name != "/") {
        lastAdded = name;
        lastAddedBareSlash = valueEndsInBareSlash;
      }
      attrName.clear();
      attrValue.clear();
      afterEquals = false;
      hadQuote = false;
      valueEndsInBareSlash = false;
      nameEndsInBareSlash = false;
    };

    // One character of a start tag after its name (quote characters arrive as isQuote).
    auto attributeChar = [&](char32_t c, bool isQuote) {
      if (pendingSpace) {
        pendingSpace = false;
        if (!isQuote && !inQuote && c == '=') {
          // blank between a name and '='
        } else if (afterEquals && attrValue.empty() && !hadQuote) {
          // blank between '=' and the value
        } else {
          addPending();
        }
      }
      if (isQuote) return;
      if (c == '=' && !inQuote) {
        afterEquals = true;
        hadQuote = false;
        return;
      }
      if (afterEquals) {
        AppendUtf8(attrValue, c);
        valueEndsInBareSlash = c == '/' && !inQuote;
      } else {
        AppendUtf8(attrName, c);
        nameEndsInBareSlash = c == '/' && !inQuote;
      }
    };

    bool finished = false;
    while (!finished) {
      char32_t c = 0;
      if (!NextChar(&c)) {
        if (mIllegalChar) return SetError("Illegal Character");
        if (e.mType != XmlElement::TYPE_NONE) return SetError("Unexpected End of File");
        return false;
      }
      if (c == '\n') ++mLineNum;

      if (e.mType == XmlElement::TYPE_COMMENT) {
        AppendUtf8(e.mInstruction, c);
        if (c == '>' && EndsWith(e.mInstruction, "-->")) {
          e.mInstruction.resize(e.mInstruction.size() - 3);
          finished = true;
        }
        continue;
      }
      if (e.mType == XmlElement::TYPE_INSTRUCTION) {
        if (!instructionBody && IsSpace(c)) {
          instructionBody = true;
          continue;
        }
        std::string& target = instructionBody ? e.mInstruction : e.mValue;
        AppendUtf8(target, c);
        if (c == '>' && EndsWith(target, "?>")) {
          target.resize(target.size() - 2);
          finished = true;
        }
        continue;
      }

      if (c == '"') {
        inQuote = !inQuote;
        if (!inQuote) hadQuote = true;
        if (e.mType == XmlElement::TYPE_START) {
          if (pendingSpace && !inAttributes) {
            pendingSpace = false;
            inAttributes = true;
          }
          if (inAttributes) attributeChar(c, true);
          continue;
        }
        if (e.mType == XmlElement::TYPE_END) continue;
      } else if (!inQuote) {
        if (c == '<') {
          if (e.mType == XmlElement::TYPE_NONE) {
            e.mType = XmlElement::TYPE_START;
            continue;
          }
          if (e.mType == XmlElement::TYPE_ELEMENT) {
            mPushBack.push_back('<');
            break;
          }
          return SetError("Unexpected '<'");
        }
        if (c == '>') {
          if (e.mType == XmlElement::TYPE_START) {
            bool selfClosing = false;
            if (attrName == "/" && !afterEquals) {
              selfClosing = true;
              attrName.clear();
            } else if (!afterEquals && nameEndsInBareSlash && attrName.size() > 1) {
              attrName.pop_back();
              addPending();
              selfClosing = true;
            } else {
              addPending();
            }
            // The end tag pushed back below is read and decoded like one written in the input,
            // so it gets the name as written, not the decoded one (else "a&amp;lt;" would come
            // back as "a<" and "a&lt;" would not parse at all).
            std::string writtenName = e.mValue;
            e.mValue = DecodeXmlEntities(e.mValue);
            if (!selfClosing) {
              if (!lastAdded.empty()) {
                std::string& value = e.mAttributes[lastAdded];
                if (lastAddedBareSlash && !value.empty() && value.back() == '/') {
                  value.pop_back();
                  selfClosing = true;
                }
              } else if (e.mAttributes.empty() && !e.mValue.empty() && e.mValue.back() == '/') {
                e.mValue.pop_back();
                writtenName.pop_back();  // no entity ends in '/': the written name ends in it too
                selfClosing = true;
              }
            }
            if (selfClosing) {
              // The next call returns the matching end tag. The pushed-back input is read as
              // characters, so the name goes back one character (not one byte) at a time.
              mPushBack.push_back('>');
              const std::vector<char32_t> name = Utf8Characters(writtenName);
              mPushBack.insert(mPushBack.end(), name.rbegin(), name.rend());
              mPushBack.push_back('/');
              mPushBack.push_back('<');
            }
            if (!mSection.empty()) mSection += '/';
            mSection += e.mValue;
            finished = true;
            continue;
          }
          if (e.mType == XmlElement::TYPE_END) {
            e.mValue = DecodeXmlEntities(e.mValue);
            if (mSection.empty()) return SetError("Unexpected End");
            const std::size_t slash = mSection.rfind('/');
            const std::string open = slash == std::string::npos ? mSection : mSection.substr(slash + 1);
            if (open != e.mValue) return SetError("End '" + e.mValue + "' Doesn't Match Start '" + open + "'");
            mSection.erase(slash == std::string::npos ? 0 : slash);
            finished = true;
            continue;
          }
          return SetError("Unexpected '>'");
        }
        if (e.mType == XmlElement::TYPE_START && e.mValue.empty() && !inAttributes) {
          if (c == '/') {
            e.mType = XmlElement::TYPE_END;
            continue;
          }
          if (c == '?') {
            e.mType = XmlElement::TYPE_INSTRUCTION;
            continue;
          }
        }
        if (IsSpace(c)) {
          if (e.mType == XmlElement::TYPE_START && e.mValue == "!--") {
            e.mType = XmlElement::TYPE_COMMENT;
          } else if (!e.mValue.empty()) {
            pendingSpace = true;
          }
          continue;
        }
        if (c < 33) return SetError("Illegal Character");
      }

      // Storing the character.
      if (e.mType == XmlElement::TYPE_NONE) e.mType = XmlElement::TYPE_ELEMENT;
      if (e.mType == XmlElement::TYPE_ELEMENT || e.mType == XmlElement::TYPE_END) {
        if (pendingSpace) {
          e.mValue += ' ';
          pendingSpace = false;
        }
        AppendUtf8(e.mValue, c);
        continue;
      }
      if (!inAttributes && !pendingSpace) {
        AppendUtf8(e.mValue, c);
        continue;
      }
      if (!inAttributes) {
        pendingSpace = false;
        inAttributes = true;
      }
      attributeChar(c, false);
    }

    if (e.mType == XmlElement::TYPE_ELEMENT) e.mValue = DecodeXmlEntities(e.mValue);
    if (e.mType == XmlElement::TYPE_COMMENT && !mAllowComments) continue;
    return true;
  }
}

}  // namespace Orvo

// A small pull parser for resource manifests: each ReadElement call returns the next start
// tag (with its attributes), end tag, run of text, processing instruction or comment. It
// accepts a forgiving subset of XML (no DOCTYPE, CDATA or character references; attribute
// values with or without quotes) and stops at the first error with a fixed message.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Orvo {

class XmlElement {
 public:
  enum Type {
    TYPE_NONE = 0,
    TYPE_START = 1,
    TYPE_END = 2,
    TYPE_ELEMENT = 3,  // a run of text
    TYPE_INSTRUCTION = 4,
    TYPE_COMMENT = 5,
  };

  // Inserts or replaces an attribute and appends its name to the order (except "/").
  // True when the name was new.
  bool AddAttribute(const std::string& name, const std::string& value);

  int mType = TYPE_NONE;
  std::string mSection;      // path of the open elements when this one began, joined by '/'
  std::string mValue;        // tag name, text, or instruction target
  std::string mInstruction;  // body of an instruction or a comment
  std::map<std::string, std::string> mAttributes;
  std::vector<std::string> mAttributeOrder;  // names in the order they were added
};

// Replaces the entities lt, amp, gt, quot, apos, nbsp (a space) and cr (a line feed);
// any other name between '&' and ';' becomes a single '&'; an '&' without ';' stays.
std::string DecodeXmlEntities(const std::string& text);
std::wstring DecodeXmlEntities(const std::wstring& text);

class XmlReader {
 public:
  XmlReader() = default;
  virtual ~XmlReader() = default;
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Reads the whole file through the pak-aware file calls. UTF-8 (with or without a
  // byte-order mark) and UTF-16 with a byte-order mark are accepted; text reaches the
  // elements as UTF-8. False when the file cannot be opened.
  bool OpenFile(const std::string& fileName);
  // Reads from a buffer held in memory, with the same encodings.
  void OpenBuffer(const std::string& bytes);

  // Fills the element with the next piece of the document. False at the end of the input
  // (no error) or on an error (HasFailed, with the message in GetErrorText).
  bool ReadElement(XmlElement* element);

  // Records an error; always returns false.
  bool SetError(const std::string& text);
  bool HasFailed() const { return mHasFailed; }
  const std::string& GetErrorText() const { return mErrorText; }
  int GetCurrentLineNum() const { return mLineNum; }
  const std::string& GetFileName() const { return mFileName; }
  // Comments are skipped unless allowed.
  void AllowComments(bool allow) { mAllowComments = allow; }
  bool IsOpen() const { return mOpen; }
  const std::string& GetSection() const { return mSection; }

 private:
  // The next character: the push-back stack first, then the decoded input. False at the end
  // of the input, or on a byte sequence that is not valid text (then mIllegalChar is set).
  bool NextChar(char32_t* c);
  bool DecodeNext(char32_t* c);

  std::string mFileName;
  std::string mErrorText;
  int mLineNum = 0;
  bool mOpen = false;
  bool mHasFailed = false;
  bool mAllowComments = false;
  std::vector<char32_t> mPushBack;
  std::string mSection;

  std::string mInput;
  std::size_t mInputPos = 0;
  enum class Encoding { Utf8, Utf16Le, Utf16Be } mEncoding = Encoding::Utf8;
  bool mIllegalChar = false;
};

}  // namespace Orvo

// Reader for descriptor files: small command languages of a command word followed by
// words, quoted strings and nested parenthesised lists. Derived classes execute the commands.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace Orvo {

// A parsed value: either one token (SingleDataElement) or a list of values.
class DataElement {
 public:
  explicit DataElement(bool isList) : mIsList(isList) {}
  virtual ~DataElement() = default;
  // A new deep copy, owned by the caller.
  virtual DataElement* Duplicate() const = 0;

  bool mIsList;

 protected:
  DataElement(const DataElement&) = default;
  DataElement& operator=(const DataElement&) = default;
};

class SingleDataElement : public DataElement {
 public:
  SingleDataElement() : DataElement(false) {}
  explicit SingleDataElement(std::string value) : DataElement(false), mString(std::move(value)) {}
  DataElement* Duplicate() const override { return new SingleDataElement(mString); }

  // The token's text; quotes are kept as written.
  std::string mString;
};

class ListDataElement : public DataElement {
 public:
  ListDataElement() : DataElement(true) {}
  ListDataElement(const ListDataElement& other);
  ListDataElement& operator=(const ListDataElement& other) { Assign(other); return *this; }
  ~ListDataElement() override;

  // Replaces the elements with duplicates of the other list's elements.
  void Assign(const ListDataElement& other);
  DataElement* Duplicate() const override { return new ListDataElement(*this); }
  // Takes ownership of the element.
  void Append(DataElement* element) { mElementVector.push_back(element); }
  void Clear();

  std::vector<DataElement*> mElementVector;
};

class DescParser {
 public:
  // Bit 1: ';' outside quotes ends a command. Bit 2: a line starting in its first column
  // ends the command before it.
  enum { CMDSEP_SEMICOLON = 1, CMDSEP_NO_INDENT = 2 };

  DescParser();
  virtual ~DescParser();
  DescParser(const DescParser&) = delete;
  DescParser& operator=(const DescParser&) = delete;

  // Stores the message as the error text; always returns false.
  virtual bool Error(const std::string& message);
  // The element defined under the upper-cased name, or null.
  virtual DataElement* FindDefine(const std::string& name);
  // Executes one command: element 0 is the command word. False stops the file.
  virtual bool HandleCommand(const ListDataElement& params) = 0;

  // Reads and parses a whole file through the pak-aware file layer.
  bool LoadFile(const std::string& fileName);
  // Splits descriptor text into commands and parses each, as LoadFile does for a file.
  bool ParseText(const std::string& text);
  bool ParseLine(const std::string& command);
  bool Tokenize(const std::string& text, ListDataElement* list, bool inList, std::size_t& pos);
  bool ResolveDefines(const ListDataElement& source, ListDataElement* dest);
  bool DataToStringVector(const DataElement* source, std::vector<std::string>* out);
  bool DataToIntVector(const DataElement* source, std::vector<int>* out);
  bool DataToDoubleVector(const DataElement* source, std::vector<double>* out);
  static std::string Unquote(const std::string& text);

  unsigned mCmdSep;
  std::string mError;
  int mCurrentLineNum;
  std::string mCurrentLine;
  std::map<std::string, DataElement*> mDefineMap;

 protected:
  // Replaces (and frees) any define stored under the upper-cased name; takes ownership.
  void SetDefine(const std::string& name, DataElement* value);
  void ClearDefines();

 private:
  template <class NextChar>
  bool ParseCharacters(NextChar nextChar);
};

}  // namespace Orvo

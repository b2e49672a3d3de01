// libFuzzer target: arbitrary descriptor text through the descriptor parser, with a handler
// that stores defines and converts every parameter the ways the font commands do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/resources/DescParser.h"

namespace {

class FuzzParser : public Orvo::DescParser {
 public:
  bool HandleCommand(const Orvo::ListDataElement& params) override {
    const auto& v = params.mElementVector;
    if (v.size() == 3 && !v[1]->mIsList) {
      // "name value": keep the value (resolved when it is a list) as a define.
      if (v[2]->mIsList) {
        auto* resolved = new Orvo::ListDataElement();
        if (!ResolveDefines(*static_cast<const Orvo::ListDataElement*>(v[2]), resolved)) {
          delete resolved;
          return false;
        }
        SetDefine(static_cast<const Orvo::SingleDataElement*>(v[1])->mString, resolved);
      } else {
        SetDefine(static_cast<const Orvo::SingleDataElement*>(v[1])->mString, v[2]->Duplicate());
      }
      return true;
    }
    std::vector<std::string> strings;
    std::vector<int> ints;
    std::vector<double> doubles;
    for (std::size_t i = 1; i < v.size(); ++i) {
      DataToStringVector(v[i], &strings);
      DataToIntVector(v[i], &ints);
      DataToDoubleVector(v[i], &doubles);
      if (!v[i]->mIsList) Unquote(static_cast<const Orvo::SingleDataElement*>(v[i])->mString);
    }
    return v.size() % 7 != 6;  // now and then a command fails and stops the text
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzParser parser;
  parser.ParseText(std::string(reinterpret_cast<const char*>(data), size));
  FuzzParser splitting;
  splitting.mCmdSep = Orvo::DescParser::CMDSEP_SEMICOLON | Orvo::DescParser::CMDSEP_NO_INDENT;
  splitting.ParseText(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}

// The .dcf parser: turns the text of a device configuration file into a DefinitionSet.
//
//   <version>  v  1.0  2007                       three tokens, not used
//   <common>
//   Class 1 instance = 1 start = 0 end = 2        ten class lines; the first with end = -1 ends the
//   Class 2 instance = 2 start = 3 end = 4        class list, start/end are template records in
//   Class 3 instance = 0 start = 0 end = -1       expanded order
//   ...
//   <parameters>
//   1.0.1 IP Network IP_address R/W 4 <none> 0    id type classLabel name access size unit n
//   2.0.1 FLAG Port[inst] Mode R/W 1 <none> 2     a FLAG entry, n = 2 defined values
//   ===== Defined Values =====  [0] Off  [1] On
//   ===== Enumeration =====  size : 2  [00] Disable  [01] Enable
//   <END>
//
// Tokens are separated by any white space; "_" in a token stands for a blank, "<none>" for the
// empty text. Only the first instance of a class is written in the file: the parser copies it for
// the other instances, replacing the instance component "0" of the id and "[inst]" of the label by
// the instance number. "<END>", or the end of the file, stops parsing at once; an entry it cuts
// short is dropped. A file that breaks a limit or the grammar is refused as a whole.
#pragma once

#include <string>
#include <string_view>

#include "core/params/definition_set.h"

namespace tarn {

constexpr std::size_t kMaxTokenLength = 199;

struct DcfParseResult {
    bool ok = false;
    DefinitionSet set;  // productNumber/major/minor are left 0; the store fills them
    std::string error;  // when refused: "line N: what is wrong"
};

DcfParseResult parseDeviceConfiguration(std::string_view text);

}  // namespace tarn

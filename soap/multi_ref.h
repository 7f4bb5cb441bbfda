#pragma once
// Outputs given by reference: an output element written as href="#id"
// stands for the independent element id="id" elsewhere in the same Body
// (before or after the response element), as SOAP 1.1 section 5 encoding
// allows and some servers always do. The table pairs the two; the response
// handler converts the target's text once the Body has been read.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::soap {

class MultiRefTable {
 public:
  // Bounds against hostile replies: targets held, length of one id.
  static constexpr std::size_t kMaxTargets = 256;
  static constexpr std::size_t kMaxIdLength = 256;

  struct Target {
    std::u16string id;
    std::u16string text;      // the character data, joined
    bool nil = false;         // xsi:nil true
    bool simple = true;       // no child elements
    bool used = false;
  };
  struct Reference {
    std::u16string id;
    std::size_t param = 0;    // index of the output's descriptor
  };

  // href must be "#" and an id; false for any other form or an id that
  // another output already references.
  bool AddReference(std::u16string_view href, std::size_t param);
  // Starts the target with this id; false for an empty, overlong or repeated
  // id, or once kMaxTargets are held.
  bool OpenTarget(std::u16string_view id, bool nil);
  // Character data and child elements of the open target.
  void AppendText(std::u16string_view text);
  void MarkComplex();

  // The target a reference names (marked used), or null when there is none
  // or it was used before.
  Target* Take(std::u16string_view id);

  const std::vector<Reference>& references() const { return references_; }
  void ClearReferences() { references_.clear(); }
  void Clear();

 private:
  std::vector<Target> targets_;
  std::vector<Reference> references_;
};

}  // namespace torvane::soap

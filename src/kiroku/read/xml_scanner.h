// Tenhou's XML log in the one form Tenhou writes it, read directly: a root
// <mjloggm ...> holding empty elements <NAME a="v" .../> and whitespace,
// maybe after an XML declaration.  A text in that form is well-formed XML,
// and the scanner reads it element for element as the conforming parser
// reads it; a text that leaves the form anywhere (comments, entities, text
// content, CR or tabs inside values, a repeated attribute, anything at all)
// is read by that parser instead, from its start, and it decides.  The form is narrow on purpose: what it admits is
// easy to see to be XML, and a fuzz target holds both readers to one result.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "kiroku/read/xml_elements.h"

namespace kiroku::detail {

class XmlScanner {
 public:
  // The views it hands out point into `text`.
  explicit XmlScanner(std::string_view text);

  // The root element's offset (its name's), as messages give it.
  std::size_t root_offset() const noexcept { return root_offset_; }

  enum class Step {
    Element,      // the root's next child, into the arguments
    End,          // the root's end tag, and nothing but whitespace after it
    Unsupported,  // the text leaves the form here (or before its root)
  };
  // The root's next child into `element`, its attributes into
  // `attributes`.  Everything before it was in the form, so a conforming
  // parser would have given the same elements up to here.
  Step next(XmlElement& element, std::vector<XmlAttribute>& attributes);

 private:
  std::string_view text_;
  std::size_t at_ = 0;  // where the next child or the root's end tag begins
  std::size_t root_offset_ = 0;
  bool in_form_ = false;
};

}  // namespace kiroku::detail

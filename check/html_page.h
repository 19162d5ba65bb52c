// A page's HTML parsed by gumbo (an HTML5 parser) into its tree, as a
// browser would read it.
#pragma once

#include <gumbo.h>

#include <string_view>

namespace lirrevo::check {

class HtmlPage {
 public:
  // html: the page's bytes, perhaps cut; bytes that are no UTF-8 are read as
  // Latin-1, so that a link's "é" is asked as a browser asks it (%C3%A9) and
  // a page's words stay apart.
  explicit HtmlPage(std::string_view html);
  ~HtmlPage();
  HtmlPage(const HtmlPage&) = delete;
  HtmlPage& operator=(const HtmlPage&) = delete;

  // The document's node, or null where the parser gave nothing.
  const GumboNode* Root() const { return output_ != nullptr ? output_->root : nullptr; }

 private:
  GumboOutput* output_ = nullptr;
};

}  // namespace lirrevo::check

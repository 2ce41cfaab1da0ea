#pragma once
// The selectors a page host clicks by: compounds of a tag name, "#id" and
// ".class" parts ("a", "#strimo_rssfetcher", "a.rsslink"), joined by blanks
// for descendants ("#strimo_rssfetcher a"). Nothing else of CSS.

#include <string_view>

namespace plat::html {

class Node;

// The first element below root, in document order, that the selector matches;
// null when none does or the selector is not of the form above.
Node* first_match(Node& root, std::string_view selector);

}

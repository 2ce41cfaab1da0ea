#pragma once
// Feeds for the parser's tests and benchmark, as the video site writes them.

#include <string>

// Two items with every field the parser reads.
std::string ordinary_feed();
// A feed of n generated items ("Video 0" ...), each with its media fields.
std::string generated_feed(int items);
// A feed of n items written with HTML's named entities (undeclared) and with
// Dublin Core's creator, date and subject in place of the plain elements.
std::string entities_and_dublin_core_feed(int items);
// Entities, CDATA and non-ASCII titles.
std::string entities_feed();

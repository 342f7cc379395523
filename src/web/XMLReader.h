#pragma once
// Turns a small XML document into nested dictionaries, driven by expat's
// start-element, end-element, character-data and error events.
//
// Each element becomes a dictionary holding its attributes, one entry per
// child name (the child's dictionary, or an array of them when the name
// repeats under the same parent) and, under "text", the character data
// gathered since the previous element end. That buffer is shared by the
// whole document, so text between siblings lands on the next sibling and
// nothing is trimmed: readers trim.
//
// Namespaces are not processed (names are taken as written). Documents
// that declare entities are refused, so a small body cannot expand into a
// large one. Any thread; one conversion at a time per reader.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Value.h"

namespace klik {

inline constexpr const char* kXMLReaderTextNodeKey = "text";

class XMLReader {
  public:
    // The converted document, or nullopt when it is not well-formed (the
    // parser's message in `error` when given).
    static std::optional<Dictionary> dictionaryForXMLData(std::string_view data,
                                                          std::string* error);
    static std::optional<Dictionary> dictionaryForXMLString(const std::string& string,
                                                            std::string* error);

    explicit XMLReader(std::string* error) : errorPointer_(error) {}
    // One conversion; the reader may be used again afterwards.
    std::optional<Dictionary> objectWithData(std::string_view data);

    // Parser events (public for the C callbacks).
    void didStartElement(const char* name, const char** attributes);
    void didEndElement();
    void foundCharacters(const char* s, int length);
    void parseErrorOccurred(const std::string& message);

  private:
    Dictionary root_;
    std::vector<Dictionary*> dictionaryStack_;
    std::string textInProgress_;
    std::string* errorPointer_;
};

}  // namespace klik

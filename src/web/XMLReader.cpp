#include "web/XMLReader.h"

#include <expat.h>

#include <climits>
#include <memory>

namespace klik {

namespace {

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

// What every expat handler is given.
struct ParseContext {
    XMLReader* reader;
    XML_Parser parser;
    bool refusedEntities = false;
};

XMLReader& readerOf(void* user) {
    return *static_cast<ParseContext*>(user)->reader;
}

void onStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    readerOf(user).didStartElement(name, attributes);
}

void onEnd(void* user, const XML_Char*) {
    readerOf(user).didEndElement();
}

void onCharacters(void* user, const XML_Char* s, int length) {
    readerOf(user).foundCharacters(s, length);
}

void onEntityDeclaration(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                         const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* context = static_cast<ParseContext*>(user);
    context->refusedEntities = true;
    XML_StopParser(context->parser, XML_FALSE);
}

}  // namespace

std::optional<Dictionary> XMLReader::dictionaryForXMLData(std::string_view data,
                                                          std::string* error) {
    XMLReader reader(error);
    return reader.objectWithData(data);
}

std::optional<Dictionary> XMLReader::dictionaryForXMLString(const std::string& string,
                                                            std::string* error) {
    // std::string already holds UTF-8.
    return dictionaryForXMLData(string, error);
}

std::optional<Dictionary> XMLReader::objectWithData(std::string_view data) {
    root_.clear();
    dictionaryStack_.clear();
    textInProgress_.clear();
    dictionaryStack_.push_back(&root_);

    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        parseErrorOccurred("the XML parser could not be created");
        return std::nullopt;
    }
    ParseContext context{this, parser.get()};
    XML_SetUserData(parser.get(), &context);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onCharacters);
    XML_SetEntityDeclHandler(parser.get(), onEntityDeclaration);

    if (data.size() > static_cast<size_t>(INT_MAX)) {
        parseErrorOccurred("the document is too large");
        return std::nullopt;
    }
    const XML_Status status =
        XML_Parse(parser.get(), data.data(), static_cast<int>(data.size()), XML_TRUE);
    if (context.refusedEntities) {
        parseErrorOccurred("the document declares entities, which are not accepted");
        return std::nullopt;
    }
    if (status != XML_STATUS_OK) {
        const XML_Error code = XML_GetErrorCode(parser.get());
        parseErrorOccurred(std::string(XML_ErrorString(code)) + " at line " +
                           std::to_string(XML_GetCurrentLineNumber(parser.get())) + ", column " +
                           std::to_string(XML_GetCurrentColumnNumber(parser.get())));
        return std::nullopt;
    }
    Dictionary result = std::move(root_);
    root_.clear();
    dictionaryStack_.clear();
    return result;
}

void XMLReader::didStartElement(const char* name, const char** attributes) {
    Dictionary& parent = *dictionaryStack_.back();
    Dictionary child;
    for (const char** a = attributes; a && a[0] && a[1]; a += 2) child[a[0]] = Value(a[1]);

    Dictionary* pushed = nullptr;
    auto it = parent.find(name);
    if (it == parent.end()) {
        Value& slot = parent[name];
        slot = Value(std::move(child));
        pushed = slot.dictionary();
    } else if (Array* array = it->second.array()) {
        array->push_back(Value(std::move(child)));
        pushed = array->back().dictionary();
    } else {
        Array pair;
        pair.push_back(std::move(it->second));
        pair.push_back(Value(std::move(child)));
        it->second = Value(std::move(pair));
        pushed = it->second.array()->back().dictionary();
    }
    dictionaryStack_.push_back(pushed);
}

void XMLReader::didEndElement() {
    if (!textInProgress_.empty()) {
        (*dictionaryStack_.back())[kXMLReaderTextNodeKey] = Value(std::move(textInProgress_));
        textInProgress_.clear();
    }
    // The root result stays at the bottom.
    if (dictionaryStack_.size() > 1) dictionaryStack_.pop_back();
}

void XMLReader::foundCharacters(const char* s, int length) {
    if (length > 0) textInProgress_.append(s, static_cast<size_t>(length));
}

void XMLReader::parseErrorOccurred(const std::string& message) {
    if (errorPointer_) *errorPointer_ = message;
}

}  // namespace klik

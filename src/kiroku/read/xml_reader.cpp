#include "kiroku/read/xml_reader.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kiroku/io/quoted_text.h"
#include "kiroku/read/xml_elements.h"
#include "kiroku/read/xml_scanner.h"

namespace kiroku {

namespace {

// The text goes to the parser in pieces of this size, and only as far as the
// hand asked for: the parser never holds more than a piece and what a token
// cut by a piece's end needs, and hands are made as they complete.
constexpr std::size_t kPieceSize = std::size_t{64} << 10;

// Strict XML 1.0: no network, no external anything, the encoding taken to be
// UTF-8 whatever a declaration says (the front ends checked it is), and the
// five predefined entities and character references decoded in attribute
// values ("&amp;" as "&").  A DOCTYPE is refused (SAX handler below), so no
// other entity can be declared and none expanded.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_IGNORE_ENC | XML_PARSE_NOENT;

void ignore_generic_error(void*, const char*, ...) {}

struct ContextFree {
  void operator()(xmlParserCtxt* context) const noexcept { xmlFreeParserCtxt(context); }
};

std::string_view text_of(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

}  // namespace

struct XmlReader::State {
  State(const char* text, std::size_t text_size) noexcept : begin(text), size(text_size) {}

  // Reads on until a hand is complete, the text has ended or reading
  // failed; with `up_to_first_hand`, only as far as the first hand's INIT.
  void read_on(bool up_to_first_hand);

  // The parser's side: hands it the next piece of the text, at most up to
  // `limit`; false when all was handed over.
  bool feed(std::size_t limit = static_cast<std::size_t>(-1));
  // Hands the parser the text before the first hand: up to the next
  // "<INIT", unless what came before holds neither game type nor names.
  bool feed_game();
  // The scanner's side: the next element, or false at the root's end.
  bool scan(bool up_to_first_hand);
  void start_parser();
  // The first failure, as a reader error; throws std::bad_alloc when it was
  // the parser running out of memory.
  std::optional<ReadError> failure();

  // Where the element whose start tag ends at the parser's position starts
  // (its name).  A start tag holds no '<' but its first byte.
  std::size_t element_offset() const noexcept {
    const char* p = begin + std::min<std::size_t>(static_cast<std::size_t>(xmlByteConsumed(context.get())), size);
    while (p > begin && *p != '<') --p;
    return static_cast<std::size_t>(p - begin) + 1;
  }

  static std::size_t locate(const void* state) noexcept { return static_cast<const State*>(state)->element_offset(); }

  void fail(std::string message) {
    if (!error) error = std::move(message);
    xmlStopParser(context.get());
  }

  static void start_element(void* user, const xmlChar* name, const xmlChar* prefix, const xmlChar*, int,
                            const xmlChar**, int count, int, const xmlChar** attributes);
  static void end_element(void* user, const xmlChar*, const xmlChar*, const xmlChar*);
  template <typename Handle>
  static void guarded(void* user, Handle handle) noexcept;
  static void take_element(State& state, const xmlChar* name, const xmlChar* prefix, int count,
                           const xmlChar** attributes);
  static void document_type(void* user, const xmlChar*, const xmlChar*, const xmlChar*);
  static void library_error(void* user, xmlError* error);

  const char* begin;
  std::size_t size;
  std::optional<detail::XmlScanner> scanner;  // when the text is in its form; else the parser reads it
  detail::XmlElement scanned;                 // the scanner's next element, held back at the first hand
  bool holding = false;
  std::size_t delivered = 0;  // hands handed out
  std::size_t skipped = 0;    // hands the parser will give again, to pass over
  std::size_t fed = 0;
  std::optional<std::size_t> next_init;  // the next "<INIT" at or past `fed`, once looked for
  bool all_fed = false;                  // the last piece, with the end of the text, was handed over
  std::unique_ptr<xmlParserCtxt, ContextFree> context;
  detail::XmlRecord record;
  std::vector<detail::XmlAttribute> attributes;  // of the element at hand
  int depth = 0;
  bool checked_game = false;
  bool out_of_memory = false;
  std::optional<std::string> error;
};

// An exception must not unwind through the library's frames: running out of
// memory in a handler stops the parser, and the read throws when it sees
// the flag.
template <typename Handle>
void XmlReader::State::guarded(void* user, Handle handle) noexcept {
  State& state = *static_cast<State*>(user);
  try {
    handle(state);
  } catch (const std::bad_alloc&) {
    state.out_of_memory = true;
    xmlStopParser(state.context.get());
  }
}

void XmlReader::State::start_element(void* user, const xmlChar* name, const xmlChar* prefix, const xmlChar*, int,
                                     const xmlChar**, int count, int, const xmlChar** attributes) {
  guarded(user, [&](State& state) { take_element(state, name, prefix, count, attributes); });
}

void XmlReader::State::end_element(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
  guarded(user, [](State& state) {
    if (--state.depth == 0 && !state.error) state.record.finish();
  });
}

void XmlReader::State::take_element(State& state, const xmlChar* name, const xmlChar* prefix, int count,
                                    const xmlChar** attributes) {
  if (state.error) return;
  const int depth = ++state.depth;
  // The root's children are the log; anything inside them says nothing, and
  // a name with a prefix is no element a Tenhou log has.
  if (depth > 2 || (depth == 2 && prefix != nullptr)) return;
  detail::XmlElement element{.name = text_of(name), .attributes = {}, .locate = State::locate, .parser = &state};
  if (depth == 1) {
    if (prefix != nullptr || element.name != "mjloggm") {
      state.fail('<' + shown_log_name(element.name) + "> at byte " + std::to_string(element.offset()) +
                 ": not a Tenhou XML log (its root is not <mjloggm>)");
      return;
    }
    state.record.start_root(element.offset());
    return;
  }
  // Five pointers an attribute: name, prefix, namespace, value, its end.
  state.attributes.clear();
  for (int i = 0; i < count; ++i) {
    const xmlChar* const* attribute = attributes + 5 * i;
    const auto* value = reinterpret_cast<const char*>(attribute[3]);
    state.attributes.push_back(
        {text_of(attribute[0]), std::string_view(value, static_cast<std::size_t>(attribute[4] - attribute[3]))});
  }
  element.attributes = state.attributes;
  if (!state.record.take(element)) state.fail(state.record.take_error());
  // A hand that starts before the game's type and names fails the log
  // there, as the scanner finds it: nothing after it may fail first.
  if (state.record.game_complete() && !state.record.has_game_type_and_names()) xmlStopParser(state.context.get());
}

void XmlReader::State::document_type(void* user, const xmlChar*, const xmlChar*, const xmlChar*) {
  State& state = *static_cast<State*>(user);
  state.fail("<!DOCTYPE> at byte " + std::to_string(state.element_offset()) +
             ": a document type declaration, which a Tenhou log never has");
}

// A fatal error of the parser: a text that is not well-formed XML.  Its
// message names what it met in the log (str1 to str3); those names are
// shown as every log byte in a message is.
void XmlReader::State::library_error(void* user, xmlError* error) {
  State& state = *static_cast<State*>(user);
  if (error == nullptr || state.error) return;
  // Whatever its level: the library goes on after some failed allocations
  // with less than the document.
  if (error->code == XML_ERR_NO_MEMORY) {
    state.out_of_memory = true;
    state.fail("out of memory");
    return;
  }
  if (error->level != XML_ERR_FATAL) return;
  std::string message = error->message != nullptr ? error->message : "malformed document";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  for (const char* logged : {error->str1, error->str2, error->str3}) {
    if (logged == nullptr || *logged == '\0') continue;
    if (const std::size_t at = message.find(logged); at != std::string::npos) {
      message.replace(at, std::string_view(logged).size(), shown_log_name(logged));
    }
  }
  // Whatever else the library's words hold stays on one line.
  std::ranges::replace(message, '\n', ' ');
  state.fail("malformed XML: " + message + " at byte " + std::to_string(xmlByteConsumed(state.context.get())));
}

bool XmlReader::State::feed(std::size_t limit) {
  if (all_fed) return false;
  const std::size_t piece = std::min({kPieceSize, size - fed, limit - fed});
  all_fed = fed + piece == size;
  const int status = xmlParseChunk(context.get(), begin + fed, static_cast<int>(piece), all_fed ? 1 : 0);
  fed += piece;
  // Some of the library's failed allocations reach no handler: one while
  // it reports (the report needs memory too), one that leaves the piece out
  // of its input buffer, after which it halts with no error at all.
  if ((context->errNo == XML_ERR_NO_MEMORY || status == XML_PARSER_EOF) && !out_of_memory) {
    out_of_memory = true;
    error.reset();
    fail("out of memory");
  }
  return !all_fed;
}

// A game refused by its type (a three-player game, whose hands follow rules
// of their own) must not have its hands looked at, and the parser reads all
// it is handed: so the text goes to it only as far as the first hand's INIT.
// A "<INIT" met inside a comment is passed over once the game type and
// names are not all there before it.
bool XmlReader::State::feed_game() {
  // Looked for once per "<INIT", not once per piece: a text without one
  // would be searched to its end for every piece.
  const std::string_view text(begin, size);
  if (!next_init || *next_init < fed) next_init = text.find("<INIT", fed);
  if (*next_init == fed && record.has_game_type_and_names()) return false;
  if (*next_init == fed) next_init = text.find("<INIT", fed + 1);
  return feed(*next_init == std::string_view::npos ? size : *next_init) || fed < size;
}

bool XmlReader::State::scan(bool up_to_first_hand) {
  const auto step = holding ? detail::XmlScanner::Step::Element : scanner->next(scanned, attributes);
  if (step == detail::XmlScanner::Step::Unsupported) {
    start_parser();
    return true;
  }
  if (step == detail::XmlScanner::Step::End) {
    record.finish();
    return false;
  }
  // As feed_game stops the parser before the first hand's INIT.
  holding = up_to_first_hand && scanned.name == "INIT" && record.has_game_type_and_names();
  if (holding) return false;
  if (!record.take(scanned)) error = record.take_error();
  return !error;
}

void XmlReader::State::read_on(bool up_to_first_hand) {
  const auto done = [&] {
    return error.has_value() || (up_to_first_hand ? record.game_complete() : record.hands().size() > skipped);
  };
  while (scanner && !done() && scan(up_to_first_hand)) {
  }
  while (!scanner && !done() && (up_to_first_hand ? feed_game() : feed())) {
  }
}

// The text leaves the scanner's form: the parser reads it from its start,
// and the hands handed out already are passed over when it gives them again
// (everything up to here was in the form, so they are the same).
void XmlReader::State::start_parser() {
  scanner.reset();
  holding = false;
  record = detail::XmlRecord{};
  skipped = delivered;
  xmlSAXHandler handler{};
  handler.initialized = XML_SAX2_MAGIC;
  handler.startElementNs = start_element;
  handler.endElementNs = end_element;
  handler.internalSubset = document_type;
  handler.externalSubset = document_type;
  handler.serror = library_error;
  context.reset(xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr));
  if (!context) throw std::bad_alloc();
  xmlCtxtUseOptions(context.get(), kParseOptions);
}

std::optional<ReadError> XmlReader::State::failure() {
  if (out_of_memory) throw std::bad_alloc();
  if (error) return ReadError{*error};
  return std::nullopt;
}

XmlReader::XmlReader(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}
XmlReader::XmlReader(XmlReader&&) noexcept = default;
XmlReader& XmlReader::operator=(XmlReader&&) noexcept = default;
XmlReader::~XmlReader() = default;

std::expected<XmlReader, ReadError> XmlReader::open(const PaddedText& text) { return open(text, true); }

std::expected<XmlReader, ReadError> XmlReader::open_with_parser(const PaddedText& text) { return open(text, false); }

std::expected<XmlReader, ReadError> XmlReader::open(const PaddedText& text, bool scan_first) {
  static const bool initialized = [] {
    xmlInitParser();
    return true;
  }();
  (void)initialized;
  // The library's few messages outside the handler below would go to
  // standard error; its settings are the calling thread's own.
  xmlSetGenericErrorFunc(nullptr, ignore_generic_error);

  auto state = std::make_unique<State>(text.data(), text.size());
  if (scan_first) {
    state->scanner.emplace(text.view());
    state->record.start_root(state->scanner->root_offset());
  } else {
    state->start_parser();
  }
  state->read_on(true);
  if (auto failed = state->failure()) return std::unexpected(std::move(*failed));
  return XmlReader(std::move(state));
}

XmlGame& XmlReader::game() noexcept { return state_->record.game(); }

std::expected<bool, ReadError> XmlReader::next_hand(XmlHand& hand) {
  State& state = *state_;
  if (!std::exchange(state.checked_game, true) && !state.error && !state.record.check_game()) {
    state.error = state.record.take_error();
  }
  state.read_on(false);
  std::deque<XmlHand>& hands = state.record.hands();
  while (state.skipped > 0 && !hands.empty()) {
    hands.pop_front();
    --state.skipped;
  }
  // The hands complete before a failure come first: whichever way the text
  // is read, its hands and its failure come in document order.
  if (hands.empty()) {
    if (auto failed = state.failure()) return std::unexpected(std::move(*failed));
    return false;
  }
  hand = std::move(hands.front());
  hands.pop_front();
  ++state.delivered;
  return true;
}

}  // namespace kiroku

#include "kiroku/conv/list_entry.h"

#include <utility>

namespace kiroku::conv {

// Each event is built in place: a temporary Event would be moved and
// destroyed through the variant's tables.
void append_events(std::vector<Event>& events, const ListEntry& entry, event::Seat actor) {
  const Tile pai = entry.pai;
  const auto& c = entry.consumed;
  switch (entry.kind) {
    case ListEntry::Kind::Tsumo:
      events.emplace_back(std::in_place_type<event::Tsumo>, event::Tsumo{.actor = actor, .pai = pai});
      return;
    case ListEntry::Kind::Dahai:
      if (entry.riichi) events.emplace_back(std::in_place_type<event::Reach>, event::Reach{.actor = actor});
      events.emplace_back(std::in_place_type<event::Dahai>,
                          event::Dahai{.actor = actor, .pai = pai, .tsumogiri = entry.tsumogiri});
      return;
    case ListEntry::Kind::Chi:
      events.emplace_back(std::in_place_type<event::Chi>,
                          event::Chi{.actor = actor, .target = entry.target, .pai = pai, .consumed = {c[0], c[1]}});
      return;
    case ListEntry::Kind::Pon:
      events.emplace_back(std::in_place_type<event::Pon>,
                          event::Pon{.actor = actor, .target = entry.target, .pai = pai, .consumed = {c[0], c[1]}});
      return;
    case ListEntry::Kind::Daiminkan:
      events.emplace_back(std::in_place_type<event::Daiminkan>,
                          event::Daiminkan{.actor = actor, .target = entry.target, .pai = pai, .consumed = c});
      return;
    case ListEntry::Kind::Kakan:
      events.emplace_back(std::in_place_type<event::Kakan>, event::Kakan{.actor = actor, .pai = pai, .consumed = c});
      return;
    case ListEntry::Kind::Ankan:
      events.emplace_back(std::in_place_type<event::Ankan>,
                          event::Ankan{.actor = actor, .consumed = {c[0], c[1], c[2], pai}});
      return;
  }
}

}  // namespace kiroku::conv

// Tenhou's XML log text -> XmlLog.
#pragma once

#include <expected>

#include "kiroku/io/padded_text.h"
#include "kiroku/xml_log.h"
#include "kiroku/read/read_error.h"

namespace kiroku {

// Reads one Tenhou XML log (an "mjlog": <mjloggm ver="2.3">...).  The text
// is parsed in place: entities are decoded and names terminated inside
// `text`, which no longer holds the log afterwards.
//
// Every failure names the element and its byte offset: "<INIT> at byte
// 2301: attribute hai2 holds 12 tiles, expected 13".  A game the GO element
// marks as three-player is read no further than that flag; its other
// elements follow rules of their own.
[[nodiscard]] std::expected<XmlLog, ReadError> read_xml_log(PaddedText& text);

}  // namespace kiroku

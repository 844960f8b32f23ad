#pragma once

#include <optional>

class QVariant;

namespace korvel {

// A stored value as an int: a decimal integer within the range of int, or
// nothing. Unlike QVariant::toInt(), which wraps 99999999999 into a valid-looking
// 1215752191, an overflowing number is refused like letters or an empty text.
std::optional<int> toStrictInt(const QVariant &stored);

} // namespace korvel

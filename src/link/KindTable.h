// SPDX-License-Identifier: MIT
#pragma once
// The texts of a closed set of kinds, as one table: a row per kind.
#include <cstddef>

namespace r8 {

template <class Kind> struct KindText {
    Kind kind;
    const char* text;
};

// The text of `kind` in `table`, or `otherwise` for a value outside the set.
template <class Kind, size_t N>
constexpr const char* TextOf(const KindText<Kind> (&table)[N], Kind kind, const char* otherwise) {
    for (const KindText<Kind>& row : table)
        if (row.kind == kind) return row.text;
    return otherwise;
}

} // namespace r8

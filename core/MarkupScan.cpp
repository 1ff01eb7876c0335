#include "MarkupScan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brio {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isMarkup(char c) {
    return c == '<' || c == '>' || c == '"' || c == '\'';
}

// Bit k set when byte `at + k` is one of < > " ' (16 bytes, or what is left of the text).
unsigned markupMask(std::string_view text, std::size_t at) {
#if defined(__SSE2__)
    if (text.size() - at >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('<')),
                                                       _mm_cmpeq_epi8(block, _mm_set1_epi8('>'))),
                                          _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                                       _mm_cmpeq_epi8(block, _mm_set1_epi8('\''))));
        return static_cast<unsigned>(_mm_movemask_epi8(hits));
    }
#endif
    unsigned mask = 0;
    for (std::size_t k = 0; k < 16 && at + k < text.size(); ++k) {
        if (isMarkup(text[at + k]))
            mask |= 1u << k;
    }
    return mask;
}

// Just past the end of the found `end`, searched from `from`; npos when it is missing.
std::size_t past(std::string_view text, std::string_view end, std::size_t from) {
    const std::size_t at = text.find(end, from);
    return at == npos ? npos : at + end.size();
}

// Just past the ">" that ends a document type whose "<!" stands before `at`: the first one outside quotes
// and outside the internal subset's brackets; npos when there is none.
std::size_t pastDoctype(std::string_view text, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            i = text.find(c, i + 1);
            if (i == npos)
                return npos;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == '>' && depth <= 0) {
            return i + 1;
        }
    }
    return npos;
}

// Just past the markup that a "<" at `at` opens when it is not a start tag; `at` itself for a start tag.
std::size_t pastNonElement(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(at + 1);
    if (rest.starts_with("!--"))
        return past(text, "-->", at + 4);
    if (rest.starts_with("![CDATA["))
        return past(text, "]]>", at + 9);
    if (rest.starts_with('!'))
        return pastDoctype(text, at + 2);
    if (rest.starts_with('?'))
        return past(text, "?>", at + 2);
    if (rest.starts_with('/'))
        return past(text, ">", at + 2);
    return at;
}

} // namespace

std::size_t RawLessThanInValue(std::string_view text) {
    enum class State { Outside, InTag, InValue } state = State::Outside;
    char quote = 0;
    std::size_t block = 0;
    while (block < text.size()) {
        std::size_t next = block + 16;
        for (unsigned mask = markupMask(text, block); mask != 0; mask &= mask - 1) {
            const std::size_t at = block + static_cast<std::size_t>(__builtin_ctz(mask));
            const char c = text[at];
            if (state == State::Outside) {
                if (c != '<')
                    continue;
                const std::size_t after = pastNonElement(text, at);
                if (after == npos)
                    return npos;
                if (after == at) {
                    state = State::InTag;
                    continue;
                }
                next = after; // the scan goes on from there
                break;
            }
            if (state == State::InTag) {
                if (c == '>') {
                    state = State::Outside;
                } else if (c == '"' || c == '\'') {
                    state = State::InValue;
                    quote = c;
                }
            } else if (c == quote) {
                state = State::InTag;
            } else if (c == '<') {
                return at;
            }
        }
        block = next;
    }
    return npos;
}

} // namespace brio

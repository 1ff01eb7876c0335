#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace brio {

// Error numbers the program and its callers test for; descriptions come from one table.
namespace err {
constexpr long InvalidCall = 5;
constexpr long Overflow = 6;
constexpr long SubscriptOutOfRange = 9;
constexpr long TypeMismatch = 13;
constexpr long BadFileName = 52;
constexpr long FileNotFound = 53;
constexpr long PermissionDenied = 70;
constexpr long PathFileAccess = 75;
constexpr long PathNotFound = 76;
constexpr long ObjectNotSet = 91;
constexpr long KeyNotUnique = 35602;
constexpr long FileExists = -2147024816; // 0x80070050
} // namespace err

// The Spanish description of a known error number; empty for a number outside the table.
std::string ErrorDescription(long number);

// One error type for every layer: a number from the table and a Spanish description.
// A library's own failure keeps its detail after the table's text.
class BrioError : public std::runtime_error {
public:
    explicit BrioError(long number, const std::string& detail = {});

    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

    // "Error " + number + " (" + description + ")", the text of the command error report.
    std::string report() const;

private:
    long number_;
    std::string description_;
};

// What a step that must not throw tells, as the XML parser's results do: 0 when it succeeded, else an
// error number of the table, with the detail in Spanish. The layer above throws error() where it fails.
struct Result {
    long number = 0;
    std::string detail;

    bool ok() const noexcept { return number == 0; }
    BrioError error() const { return BrioError(number, detail); }
};

} // namespace brio

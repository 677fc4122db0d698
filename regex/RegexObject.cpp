#include "regex/RegexObject.h"

#include <objbase.h>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// Stands for a double quote in patterns written where one cannot be typed.
constexpr TextView kQuotePlaceholder = "#引号";

// The engine answers numbers as floating point; they count matches and characters.
std::int32_t TruncateToInt32(double value) {
    if (!std::isfinite(value)) return 0;
    value = std::trunc(value);
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

// The engine's collections are indexed from 0 with a floating-point number.
Variant ZeroBasedIndex(std::int32_t oneBased) {
    return Variant::FromNumber(static_cast<double>(oneBased) - 1.0);
}

// The engine counts in UTF-16 units of the text it was given; the stored subject is GBK,
// where a Chinese character takes two bytes. Gives the byte offset of `units` units.
size_t UnitsToByteOffset(TextView subject, std::int32_t units) {
    if (units <= 0) return 0;
    std::wstring wide = GbkToWide(subject);
    size_t count = std::min(static_cast<size_t>(units), wide.size());
    return WideToGbk(std::wstring_view(wide).substr(0, count)).size();
}

AutomationObject FirstMatchSubMatches(const AutomationObject& matches) {
    AutomationObject first = CallMethodObject(matches, "Item", {ZeroBasedIndex(1)});
    return GetPropertyObject(first, "SubMatches");
}

}  // namespace

void InitialiseRegex(RegexObject& regex) {
    // S_FALSE (already initialised on this thread) also counts and is owed an uninitialise;
    // a failure (another apartment model already chosen) is not.
    if (!regex.comInitialised_) regex.comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
}

void FinaliseRegex(RegexObject& regex) {
    regex.engine_.Clear();
    regex.matches_.Clear();
    regex.subject_.clear();
    if (std::exchange(regex.comInitialised_, false)) CoUninitialize();
}

RegexObject::~RegexObject() { FinaliseRegex(*this); }

void RegexObject::Destroy() {
    FinaliseRegex(*this);
    cachedCount_ = 0;
}

std::unique_ptr<RegexObject> RegexObject::Clone() const {
    auto copy = std::make_unique<RegexObject>();
    // The copy pairs its own COM initialisation with the uninitialise its Destroy runs,
    // so destroying it never ends COM under the original's feet.
    InitialiseRegex(*copy);
    copy->engine_ = engine_;
    copy->matches_ = matches_;
    copy->subject_ = subject_;
    copy->cachedCount_ = cachedCount_;
    return copy;
}

bool RegexObject::CompileAndExecute(TextView pattern, TextView subject,
                                    std::optional<bool> caseSensitive,
                                    std::optional<bool> multiline, std::optional<bool> global,
                                    std::optional<bool> quotePlaceholder) {
    engine_.Clear();
    matches_.Clear();
    engine_ = CreateAutomationObject("VBScript.RegExp");

    PutProperty(engine_, "IgnoreCase", Variant::FromBool(!caseSensitive.value_or(false)));
    PutProperty(engine_, "Multiline", Variant::FromBool(multiline.value_or(true)));
    // The engine has no such property; the write is refused and that is fine.
    PutProperty(engine_, "Singleline", Variant::FromBool(true));
    PutProperty(engine_, "Global", Variant::FromBool(global.value_or(true)));

    Text compiled = quotePlaceholder.value_or(false) ? ReplaceText(pattern, kQuotePlaceholder, "\"")
                                                     : Text(pattern);
    PutProperty(engine_, "Pattern", Variant::FromText(compiled));

    matches_ = CallMethodObject(engine_, "Execute", {Variant::FromText(subject)});
    subject_ = Text(subject);
    return !matches_.Empty();
}

std::int32_t RegexObject::MatchCount() {
    if (matches_.Empty()) return 0;
    return TruncateToInt32(GetPropertyNumber(matches_, "Count"));
}

Text RegexObject::SubMatchText(std::int32_t matchIndex, std::int32_t subMatchIndex,
                               std::int32_t* position) {
    AutomationObject match = CallMethodObject(matches_, "Item", {ZeroBasedIndex(matchIndex)});
    AutomationObject subs = GetPropertyObject(match, "SubMatches");
    Variant value = CallMethod(subs, "Item", {ZeroBasedIndex(subMatchIndex)});
    Text result = VariantToText(value);
    value.Clear();

    if (position != nullptr) {
        // The group's text is a literal piece of the subject, so it is looked for with
        // case, from the first byte of the match.
        std::int32_t first = TruncateToInt32(GetPropertyNumber(match, "FirstIndex"));
        size_t start = UnitsToByteOffset(subject_, first);
        *position = FindText(subject_, result, static_cast<int>(start) + 1) - 1;
    }
    return result;
}

Text RegexObject::MatchText(std::int32_t matchIndex) {
    AutomationObject match = CallMethodObject(matches_, "item", {ZeroBasedIndex(matchIndex)});
    return GetPropertyText(match, "Value");
}

AutomationObject RegexObject::GetEngine() { return engine_; }

void RegexObject::SetEngine(const AutomationObject& engine) { engine_ = engine; }

bool RegexObject::TestSubject(TextView subject) {
    matches_ = CallMethodObject(engine_, "Execute", {Variant::FromText(subject)});
    return CallMethodBool(engine_, "Test", {Variant::FromText(subject)});
}

void RegexObject::Reserved() {}

Text RegexObject::GetPattern() {
    if (engine_.Empty()) return {};
    return GetPropertyText(engine_, "Pattern");
}

Text RegexObject::EscapeText(TextView text) {
    // The backslash goes first, so that the backslashes added after it are not doubled.
    static constexpr TextView kSpecial[] = {"\\", "^", "-", "$", "|", "{", "}",
                                            "[",  "]", "(", ")", ".", "?"};
    Text escaped(text);
    for (TextView special : kSpecial) {
        escaped = ReplaceText(escaped, special, "\\" + Text(special));
    }
    return escaped;
}

std::int32_t RegexObject::CountSubMatches() {
    if (cachedCount_ == 0) return 0;
    return TruncateToInt32(GetPropertyNumber(FirstMatchSubMatches(matches_), "Count"));
}

std::int32_t RegexObject::ExecuteAndCount(TextView subject) {
    matches_ = CallMethodObject(engine_, "Execute", {Variant::FromText(subject)});
    cachedCount_ = matches_.Empty() ? 0 : TruncateToInt32(GetPropertyNumber(matches_, "Count"));
    return cachedCount_;
}

Text RegexObject::ReplaceInSubject(TextView replacement) {
    Variant with = Variant::FromText(replacement);
    Text result = CallMethodText(engine_, "Replace", {Variant::FromText(subject_), with});
    with.Clear();
    return result;
}

std::int32_t RegexObject::FirstSubMatchCount() {
    return TruncateToInt32(GetPropertyNumber(FirstMatchSubMatches(matches_), "Count"));
}

#pragma once
// Regular-expression matching over the system's "VBScript.RegExp" automation object.
// The object keeps the engine, the match collection of the last search and a copy of
// the searched text. Nothing here reports an error: when the engine cannot be made or
// a pattern is invalid, searches give false, counts 0 and texts the empty Text.
//
// Use on one thread only: InitialiseRegex initialises COM on the creating thread and
// FinaliseRegex (run by Destroy) ends it there.
//
//   auto regex = std::make_unique<RegexObject>();
//   InitialiseRegex(*regex);
//   if (regex->CompileAndExecute(pattern, page)) ... regex->SubMatchText(1, 1) ...
//   regex->Destroy();

#include "app/runtime/Automation.h"
#include "app/runtime/Text.h"

#include <cstdint>
#include <memory>
#include <optional>

class RegexObject {
public:
    RegexObject() = default;
    RegexObject(const RegexObject&) = delete;
    RegexObject& operator=(const RegexObject&) = delete;

    // The operations in the order of the object's table; keep new ones after these.

    // Ends the object's COM use and releases its members (FinaliseRegex).
    virtual void Destroy();
    // A copy sharing the engine and the matches, with its own COM initialisation.
    virtual std::unique_ptr<RegexObject> Clone() const;
    // Makes a fresh engine with these options and pattern and searches `subject`.
    // True when the engine gave a match collection, even an empty one. With
    // quotePlaceholder, every "#引号" in the pattern stands for a double quote.
    virtual bool CompileAndExecute(TextView pattern, TextView subject,
                                   std::optional<bool> caseSensitive = std::nullopt,
                                   std::optional<bool> multiline = std::nullopt,
                                   std::optional<bool> global = std::nullopt,
                                   std::optional<bool> quotePlaceholder = std::nullopt);
    virtual std::int32_t MatchCount();
    // Group `subMatchIndex` of match `matchIndex`, both counted from 1. When `position`
    // is given it receives the 0-based byte position of that text in the subject,
    // searched from the start of the match (-2 when it is not found there).
    virtual Text SubMatchText(std::int32_t matchIndex, std::int32_t subMatchIndex,
                              std::int32_t* position = nullptr);
    // The whole text of match `matchIndex`, counted from 1.
    virtual Text MatchText(std::int32_t matchIndex);
    virtual AutomationObject GetEngine();
    // `engine` becomes the engine; the stored matches stay.
    virtual void SetEngine(const AutomationObject& engine);
    // Searches `subject` with the current engine, keeping the matches; answers the
    // engine's own test. The stored subject stays.
    virtual bool TestSubject(TextView subject);
    virtual void Reserved();
    virtual Text GetPattern();
    // Puts a backslash before each of \ ^ - $ | { } [ ] ( ) . ? so that the text
    // matches itself literally.
    virtual Text EscapeText(TextView text);
    // Group count of the first match, but only once ExecuteAndCount found matches.
    virtual std::int32_t CountSubMatches();
    // Searches `subject` with the current engine, keeping and counting the matches.
    // The stored subject stays.
    virtual std::int32_t ExecuteAndCount(TextView subject);
    // The stored subject with the engine's matches replaced by `replacement`.
    virtual Text ReplaceInSubject(TextView replacement);
    virtual std::int32_t FirstSubMatchCount();

    // Declared after the table's operations so that it does not take one of their slots.
    virtual ~RegexObject();

private:
    friend void InitialiseRegex(RegexObject& regex);
    friend void FinaliseRegex(RegexObject& regex);

    AutomationObject engine_;
    AutomationObject matches_;
    Text subject_;
    std::int32_t cachedCount_ = 0;
    // Whether this object's CoInitialize succeeded and is still owed its CoUninitialize.
    bool comInitialised_ = false;
};

// Run by the creator right after creating the object: initialises COM on this thread.
void InitialiseRegex(RegexObject& regex);
// Releases engine, matches and subject, then ends the COM initialisation that
// InitialiseRegex made, if it made one. Running it again does nothing more.
void FinaliseRegex(RegexObject& regex);

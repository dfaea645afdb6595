#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a PCRE2 pattern (8-bit, UTF) may do, for the matchers that run it in
// ways PCRE2 does not check for them: over pieces, over blocks of lines, or
// with the JIT standing in for the DFA. PCRE2 answers what it reports about
// the compiled pattern; the rest comes from one reading of the pattern's
// syntax, the way PCRE2 10.42 reads it (escapes, \Q...\E, classes, comments,
// extended mode, group openers, option settings), so that "\(?=", "[(?=]" or
// "\Q(?=\E" hold no look-ahead.
//
// Where the reading is not sure of a construct (or the pattern does not
// compile), every syntax flag is true and there is no required literal: the
// answers err on the side a careful caller takes anyway.
struct PatternInfo
{
    // Compiles pattern with the given PCRE2 compile options and newline
    // convention (PCRE2_NEWLINE_*), the ones the caller's matcher uses.
    PatternInfo(std::string_view pattern, uint32_t options, uint32_t newline);

    bool compiled = false;

    // From PCRE2.
    uint32_t maxLookbehind = 0;  // characters
    bool backReferences = false; // \1, \k<name>, (?P=name), a condition on a group
    bool backslashC = false;     // \C
    bool explicitCrOrLf = false; // a literal CR or LF, as \r, \n or itself
    uint32_t newline = 0;        // the convention in force, (*CR) and the like included

    // From the syntax.
    bool unsure = false;             // something was not understood
    bool lookAhead = false;          // (?= (?! (?* and their (*pla: forms, [[:<:]]
    bool negativeLookAround = false; // (?! (?<! (*nla: (*nlb:
    bool nonAtomicAssertion = false; // (?* (?<* (*napla: (*naplb:
    bool atomic = false;             // (?> (*atomic:
    bool possessive = false;         // *+ ++ ?+ {n,m}+
    bool condition = false;          // (?(
    bool call = false;               // (?R) (?1) (?-1) (?&n) (?P>n) \g<n>
    bool verb = false;               // (*COMMIT), (*MARK:x), (*ACCEPT) ...
    bool startItem = false;          // (*UTF), (*CR), (*LIMIT_MATCH=n) ... at the start
    bool scriptRun = false;          // (*sr: (*asr:
    bool callout = false;            // (?C)
    bool resetsMatchStart = false;   // \K
    bool textAnchor = false;         // \A \z \Z \G
    bool dollar = false;             // $
    bool grapheme = false;           // \X
    bool wordBoundary = false;       // \b \B [[:<:]] [[:>:]]
    bool multilineOff = false;       // an option setting that turns (?m) off
    // Some item may match a CR or an LF: a dot under (?s), a class that
    // may hold one, \s \v \R \X \C \p ..., a literal CR or LF.
    bool mayMatchLineBreak = false;

    // The longest run of literal bytes that every match holds, outside any
    // group, in a pattern without alternatives at its top; empty when there
    // is none. literalFolds: it holds a caseless letter, to be compared with
    // ASCII case folding. A caseless character whose other case is not
    // ASCII (K, S, anything past 127) ends a run instead.
    std::string requiredLiteral;
    bool literalFolds = false;

    // No match nor look-ahead takes in a CR or an LF, and "." and \N stop
    // at both.
    bool staysInLine() const;
};

#pragma once

#include <QtGlobal>

#include <compare>

// Entries of the code page list (codepagelist.h).
inline constexpr int codepageCount = 132;

// What the bytes of a file are read as: UTF-16 in one of its byte orders, or
// an entry of the code page list.
class Encoding final
{
public:
    enum class Kind : quint8 { CodePage, Utf16Le, Utf16Be };

    // The first list entry (ANSI).
    constexpr Encoding() = default;

    // Any index is held, so a number read from a file survives being written
    // back; only 0..codepageCount-1 names an entry (isListed).
    static constexpr Encoding codePage(int index) { return Encoding(Kind::CodePage, index); }
    static constexpr Encoding utf16(bool bigEndian)
    {
        return Encoding(bigEndian ? Kind::Utf16Be : Kind::Utf16Le, 0);
    }

    constexpr Kind kind() const { return m_kind; }
    constexpr bool isUtf16() const { return m_kind != Kind::CodePage; }
    constexpr bool isBigEndian() const { return m_kind == Kind::Utf16Be; }
    constexpr bool isCodePage() const { return m_kind == Kind::CodePage; }
    // The list index of a code page; -1 for UTF-16.
    constexpr int codePageIndex() const { return isCodePage() ? m_index : -1; }
    // A code page that the list holds.
    constexpr bool isListed() const
    {
        return isCodePage() && m_index >= 0 && m_index < codepageCount;
    }
    // Bytes of the smallest unit a character is made of.
    constexpr int unitBytes() const { return isUtf16() ? 2 : 1; }

    // The number the settings file stores: -2 UTF-16 BE, -1 UTF-16 LE,
    // otherwise the list index.
    constexpr qint32 storedCode() const
    {
        return m_kind == Kind::Utf16Be ? -2 : m_kind == Kind::Utf16Le ? -1 : m_index;
    }
    static constexpr Encoding fromStoredCode(qint32 code)
    {
        return code == -2 || code == -1 ? utf16(code == -2) : codePage(code);
    }

    friend constexpr bool operator==(Encoding, Encoding) = default;
    friend constexpr auto operator<=>(Encoding, Encoding) = default;

private:
    constexpr Encoding(Kind kind, int index) : m_kind(kind), m_index(index) {}

    Kind m_kind = Kind::CodePage;
    int m_index = 0;
};

inline constexpr Encoding encodingUtf16BE = Encoding::utf16(true);
inline constexpr Encoding encodingUtf16LE = Encoding::utf16(false);
inline constexpr Encoding encodingAnsi = Encoding::codePage(0);
inline constexpr Encoding encodingOem = Encoding::codePage(1);
inline constexpr Encoding encodingMac = Encoding::codePage(2);
inline constexpr Encoding encodingUtf8 = Encoding::codePage(130);
inline constexpr Encoding encodingUtf7 = Encoding::codePage(131);

// cLameEncoderVersion: the encoder library's version record (265 bytes, filled by beVersion
// when the object is created) and the values derived from it.
#pragma once

#include <QDate>
#include <QString>

#include <array>
#include <cstdint>

class LameLibrary;

class cLameEncoderVersion {
public:
    static constexpr std::size_t kRecordBytes = 265;

    explicit cLameEncoderVersion(LameLibrary &library);
    // From a record already filled in.
    explicit cLameEncoderVersion(const std::array<std::uint8_t, kRecordBytes> &record);

    std::uint8_t DllMajorVersion() const { return m_record[0]; }
    std::uint8_t DllMinorVersion() const { return m_record[1]; }
    std::uint8_t MajorVersion() const { return m_record[2]; }
    std::uint8_t MinorVersion() const { return m_record[3]; }
    // Year, month and day of the record; a day or month out of range rolls over into the next
    // (or previous) month or year, as a date serial does.
    QDate ReleaseDate() const { return m_releaseDate; }
    // The home page field up to its first zero byte, at most 129 characters.
    QString HomePage() const { return m_homePage; }
    std::uint8_t AlphaLevel() const { return m_record[137]; }
    std::uint8_t BetaLevel() const { return m_record[138]; }
    std::uint8_t MMXEnabled() const { return m_record[139]; }

private:
    void derive();

    std::array<std::uint8_t, kRecordBytes> m_record{};
    QDate m_releaseDate;
    QString m_homePage;
};

#include "mp3/lame_encoder_version.h"

#include "common/wave_format.h"
#include "mp3/lame_library.h"

cLameEncoderVersion::cLameEncoderVersion(LameLibrary &library)
{
    library.beVersion(m_record.data());
    derive();
}

cLameEncoderVersion::cLameEncoderVersion(const std::array<std::uint8_t, kRecordBytes> &record)
    : m_record(record)
{
    derive();
}

void cLameEncoderVersion::derive()
{
    const int day = m_record[4];
    const int month = m_record[5];
    const int year = le::get16(&m_record[6]);
    m_releaseDate = QDate(year, 1, 1).addMonths(month - 1).addDays(day - 1);

    constexpr std::size_t kHomePageOffset = 8;
    constexpr std::size_t kHomePageBytes = 129;
    std::size_t length = 0;
    while (length < kHomePageBytes && m_record[kHomePageOffset + length] != 0)
        ++length;
    m_homePage = QString::fromLatin1(reinterpret_cast<const char *>(&m_record[kHomePageOffset]),
                                     static_cast<qsizetype>(length));
}

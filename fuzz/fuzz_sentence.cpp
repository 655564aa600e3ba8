// Feeds arbitrary bytes to the reply parser the way the read loop does: the first two bytes
// choose the size of the reads, the rest is the reply. The parser must never crash, read out of
// bounds or break its own rules, whatever a router sends.
#include "api/Sentence.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype readSize = 1 + ((data[0] << 8 | data[1]) % 4096);
    const QByteArray reply(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    for (qsizetype offset = 0; offset <= reply.size(); ++offset) {
        const auto [length, prefixSize] = Sentence::readLength(reply, offset);
        check(length >= -1 && length <= 0x3FFF);
        check(prefixSize >= 0 && prefixSize <= 2);
        check((length < 0) == (prefixSize == 0));
    }

    try {
        Sentence sentence(reply.left(readSize));
        const ReturnType returnType = sentence.returnType;
        check(returnType != ReturnType::HALT);
        check(returnType != ReturnType::RE || !sentence.SentenceData.isEmpty());
        for (qsizetype at = readSize; at < reply.size(); at += readSize) {
            const bool wasDone = sentence.isDone;
            const qsizetype rows = sentence.SentenceData.size();
            sentence.feed(reply.mid(at, readSize));
            check(!wasDone || sentence.isDone);
            check(sentence.returnType == returnType);
            check(sentence.SentenceData.size() >= rows);
        }
    } catch (SentenceError error) {
        check(error != SentenceError::DataFailure);
    }
    return 0;
}

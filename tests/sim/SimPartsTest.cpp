#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <numeric>

#include "diag/Crc16X25.h"
#include "diag/FrameCodec.h"
#include "engine/IdentificationText.h"
#include "sim/AnswerSlicer.h"
#include "sim/FaultPlan.h"
#include "sim/FlashMemory.h"
#include "sim/RoamingAssembler.h"
#include "sim/SimCommand.h"
#include "sim/SimFrameReader.h"
#include "sim/SimState.h"

using namespace corvanetov;
using namespace corvanetov::detail;

using Bytes = std::vector<uint8_t>;

namespace {
Bytes Framed(const Bytes& request, bool flagged = false, bool lead7F = false)
{
    Bytes out;
    FrameCodec::EncodeFrame(request.data(), request.size(), flagged, lead7F, out);
    return out;
}

std::vector<SimInput> FeedAll(SimFrameReader& reader, const Bytes& bytes)
{
    std::vector<SimInput> out;
    reader.Feed(bytes.data(), bytes.size(), out);
    return out;
}

Bytes RoamingPiece(uint8_t piece, bool more, uint8_t nam, const Bytes& file)
{
    Bytes request(126, 0);
    request[0] = 0x48;
    request[1] = piece;
    request[2] = more ? 1 : 0;
    request[3] = nam;
    size_t from = piece * 120u;
    size_t count = std::min<size_t>(120, file.size() - from);
    uint16_t bits = static_cast<uint16_t>(count * 8);
    request[4] = bits & 0xFF;
    request[5] = bits >> 8;
    std::copy_n(file.begin() + from, count, request.begin() + 6);
    return request;
}
} // namespace

TEST(SimState, PhoneNumbersEncodeToWhatTheToolFormatsBack)
{
    for (std::string number : {"(212) 555-0147", "(909) 000-1000", "(111) 234-5678"}) {
        uint32_t min1 = 0;
        uint16_t min2 = 0;
        ASSERT_TRUE(SimState::EncodeMin(number, min1, min2)) << number;
        std::string formatted;
        EXPECT_TRUE(IdentificationText::FormatMin(min1, min2, formatted));
        // An area code of 111 encodes as MIN2 0, which the tool shows without one.
        EXPECT_EQ(number == "(111) 234-5678" ? "234-5678" : number, formatted);
    }
    uint32_t min1 = 0;
    uint16_t min2 = 0;
    ASSERT_TRUE(SimState::EncodeMin("555-0147", min1, min2));
    EXPECT_EQ(0, min2);
    EXPECT_FALSE(SimState::EncodeMin("555-01", min1, min2));
    EXPECT_FALSE(SimState::EncodeMin("555-O147", min1, min2));
}

TEST(SimState, SavedStateComesBackWithRawItemsWinning)
{
    auto path = std::filesystem::temp_directory_path() / ("sim-state-" + std::to_string(::getpid()) + ".json");
    SimState first;
    first.SetEsn(0x1234ABCD);
    first.SetLockCode("4321");
    first.SetHomeSids({4101, 22, 65535});
    SimState::NvData data{};
    std::iota(data.begin(), data.end(), 0); // every byte value in place, trailing ones nonzero
    first.WriteItem(999, data.data());
    data[0] = 3; // item 82 as a tool writes it: length 3, eight characters behind
    first.WriteItem(82, data.data());
    std::string error;
    ASSERT_TRUE(first.Save(path, error)) << error;

    SimState second;
    ASSERT_TRUE(second.Load(path, error)) << error;
    EXPECT_EQ(0x1234ABCDu, second.Esn());
    EXPECT_EQ(*first.Item(999), *second.Item(999));
    EXPECT_EQ(*first.Item(82), *second.Item(82)); // bytes past the length survive too
    EXPECT_EQ(first.HomeSids(), second.HomeSids());
    EXPECT_EQ(4101, second.HomeSids()[0]);
    std::filesystem::remove(path);

    SimState fresh;
    EXPECT_TRUE(fresh.Load(path, error)) << "a missing file is a first run";
    EXPECT_EQ("0000", fresh.LockCode());
}

// Whatever bytes a tool wrote or an option gave, the state file holds them
// (UTF-8 JSON cannot hold them as text), and texts of earlier files read on.
TEST(SimState, AnyBytesSurviveASaveAndTextFieldsStillRead)
{
    auto path = std::filesystem::temp_directory_path() / ("sim-bytes-" + std::to_string(::getpid()) + ".json");
    SimState first;
    first.SetLockCode("\xFF\x80" "12");
    first.SetVersionText("B410\xE9");
    first.SetMsl("0000\xC3\x28");
    SimState::NvData uim{};
    uim[0] = 0x90;
    first.WriteItem(2071, uim.data());
    std::string error;
    ASSERT_TRUE(first.Save(path, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));

    SimState second;
    ASSERT_TRUE(second.Load(path, error)) << error;
    EXPECT_EQ("\xFF\x80" "12", second.LockCode());
    EXPECT_EQ("B410\xE9", second.VersionText());
    EXPECT_EQ("0000\xC3\x28", second.Msl());
    EXPECT_EQ("\x90", second.UimLockCode());
    EXPECT_EQ(*first.Item(82), *second.Item(82));

    {
        std::ofstream out(path);
        out << R"({"lock_code": "2468", "version": "B410V02.00", "hardware_version": {"hex": "52455630"}})";
    }
    SimState older;
    ASSERT_TRUE(older.Load(path, error)) << error;
    EXPECT_EQ("2468", older.LockCode());
    EXPECT_EQ("B410V02.00", older.VersionText());
    EXPECT_EQ("REV0", older.HardwareVersion());

    // A save that cannot be made says why and leaves nothing behind: a
    // folder in the state's place is not replaced.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_FALSE(first.Save(path, error));
    EXPECT_NE(std::string::npos, error.find("is not a regular file")) << error;
    EXPECT_TRUE(std::filesystem::is_directory(path));
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
        EXPECT_NE(0u, entry.path().string().rfind(path.string() + ".tmp", 0)) << entry.path();
    std::filesystem::remove(path);
}

TEST(SimState, BrokenStateFileIsRefusedWithItsName)
{
    // A number out of its field's range was once converted regardless
    // (undefined for a float): found by fuzzing the state file.
    const struct {
        const char* file;
        const char* names;
    } cases[] = {
        {R"({"nv": {"82": "ZZ"}})", "82"},
        {R"({"cai_revision": 1e300})", "cai_revision"},
        {R"({"model_code": 256})", "model_code"},
        {R"({"model_code": -1})", "model_code"},
        {R"({"sids": [1, 1e30]})", "sids"},
        {R"({"sids": [65536]})", "sids"},
        {R"({"sids": 5})", "sids"},
    };
    auto path = std::filesystem::temp_directory_path() / ("sim-bad-" + std::to_string(::getpid()) + ".json");
    for (const auto& broken : cases) {
        {
            std::ofstream out(path);
            out << broken.file;
        }
        SimState state;
        std::string error;
        EXPECT_FALSE(state.Load(path, error)) << broken.file;
        EXPECT_NE(std::string::npos, error.find(path.string())) << error;
        EXPECT_NE(std::string::npos, error.find(broken.names)) << error;
        EXPECT_EQ(sim::kModelCode, state.ModelCode()) << broken.file;
    }
    std::filesystem::remove(path);
}

TEST(SimFrameReader, FramesAreFoundAcrossChunksAndLeadingBytesIgnored)
{
    SimFrameReader reader;
    Bytes nv(133, 0);
    nv[0] = 0x26;
    nv[1] = 0x7E; // escaped inside the frame
    nv[2] = 0x7D;
    Bytes stream = Framed(nv, true);
    Bytes status = Framed({0x0C}, false, true);
    stream.insert(stream.end(), status.begin(), status.end());
    std::vector<SimInput> inputs;
    for (uint8_t byte : stream) // one byte at a time, the worst a line can do
        reader.Feed(&byte, 1, inputs);
    ASSERT_EQ(2u, inputs.size());
    EXPECT_EQ(SimInput::Kind::Frame, inputs[0].kind);
    EXPECT_EQ(nv, inputs[0].bytes);
    EXPECT_EQ(Bytes{0x0C}, inputs[1].bytes);
}

TEST(SimFrameReader, BadCheckSequenceAndNoiseAreDroppedThenReadingGoesOn)
{
    SimFrameReader reader;
    Bytes damaged = Framed({0x0C});
    damaged[0] ^= 0x01;
    auto inputs = FeedAll(reader, damaged);
    ASSERT_EQ(1u, inputs.size());
    EXPECT_EQ(SimInput::Kind::BadCrc, inputs[0].kind);

    EXPECT_EQ(SimInput::Kind::ShortFrame, FeedAll(reader, {0x0C, 0x7E})[0].kind);

    Bytes noise(50000, 0x55);
    inputs = FeedAll(reader, noise);
    ASSERT_EQ(1u, inputs.size());
    EXPECT_EQ(SimInput::Kind::Overlong, inputs[0].kind);
    inputs = FeedAll(reader, Framed({0x00}, true));
    ASSERT_EQ(1u, inputs.size()) << "the noise ends at the next flag";
    EXPECT_EQ(SimInput::Kind::Frame, inputs[0].kind);
    EXPECT_EQ(Bytes{0x00}, inputs[0].bytes);
}

TEST(SimFrameReader, AtLineAndBootCommandsNeedNoCheckSequence)
{
    SimFrameReader reader;
    Bytes stream = {'A', 'T', '$', 'Q', 'C', 'D', 'M', 'G', '\r', '\n'};
    Bytes status = Framed({0x0C}); // right behind the line feed, no flag between
    stream.insert(stream.end(), status.begin(), status.end());
    for (Bytes boot : {Bytes{0x7F, 0xAA, 0xDD, 0x7E}, Bytes{0x7F, 0xAA, 0x1F, 0x00, 0x7E}, Bytes{0x7F, 0xAA, 0x9A, 0x7E}})
        stream.insert(stream.end(), boot.begin(), boot.end());
    auto inputs = FeedAll(reader, stream);
    ASSERT_EQ(5u, inputs.size());
    EXPECT_EQ(SimInput::Kind::AtCommand, inputs[0].kind);
    EXPECT_EQ("AT$QCDMG", inputs[0].text);
    EXPECT_EQ(Bytes{0x0C}, inputs[1].bytes);
    EXPECT_EQ(1, inputs[2].bootCode);
    EXPECT_EQ(2, inputs[3].bootCode);
    EXPECT_EQ(5, inputs[4].bootCode);
}

TEST(RoamingAssembler, PiecesSentAgainReplaceThemselves)
{
    Bytes file(250);
    std::iota(file.begin(), file.end(), 1);
    RoamingAssembler assembler;
    auto kind = RoamingAssembler::FileKind::Prl;
    auto piece = [&](uint8_t n) { return RoamingPiece(n, n < 2, 1, file); };
    EXPECT_EQ(1, assembler.Accept(kind, piece(0).data(), 126).status);
    EXPECT_EQ(1, assembler.Accept(kind, piece(0).data(), 126).status) << "resend of piece 0";
    EXPECT_EQ(2, assembler.Accept(kind, piece(2).data(), 126).status) << "piece 1 is missing";
    EXPECT_EQ(1, assembler.Accept(kind, piece(1).data(), 126).status);
    auto last = assembler.Accept(kind, piece(2).data(), 126);
    EXPECT_EQ(0, last.status);
    EXPECT_TRUE(last.complete);
    EXPECT_EQ(0, assembler.Accept(kind, piece(2).data(), 126).status) << "the last piece's answer was lost";
    EXPECT_EQ(file, assembler.Completed(kind, 1));
    EXPECT_TRUE(assembler.Completed(kind, 0).empty());
    EXPECT_TRUE(assembler.Completed(RoamingAssembler::FileKind::Eri, 1).empty());

    Bytes odd = piece(0);
    odd[4] = 7; // bits not a whole number of bytes
    EXPECT_EQ(3, assembler.Accept(kind, odd.data(), 126).status);
    EXPECT_EQ(3, assembler.Accept(kind, odd.data(), 20).status);
}

TEST(FlashMemory, ProgramsOnlyErasedFlashAndEraseTakesBack)
{
    FlashMemory flash;
    Bytes block(8192);
    std::iota(block.begin(), block.end(), 0);
    EXPECT_FALSE(flash.Program(0, block.data(), block.size()));
    ASSERT_TRUE(flash.Erase(0, 0x3001)); // ends inside the second sector: erases all of it
    EXPECT_TRUE(flash.Program(0, block.data(), block.size()));
    EXPECT_TRUE(flash.Program(0x2000, block.data(), block.size()));
    EXPECT_FALSE(flash.Program(0x3000, block.data(), block.size())) << "half past the erased sectors";
    EXPECT_EQ(0x4000u, flash.ProgrammedRun(0).size());
    EXPECT_EQ(block, flash.Read(0x2000, 8192));
    EXPECT_EQ(Bytes(4, 0xFF), flash.Read(0x10000, 4));
    ASSERT_TRUE(flash.Erase(0x2FFF, 1));
    EXPECT_EQ(0x2000u, flash.ProgrammedRun(0).size()) << "the whole sector erased";
    EXPECT_EQ(Bytes(4, 0xFF), flash.Read(0x2000, 4));
    EXPECT_FALSE(flash.Erase(0x3FFF000, 0x2000)) << "past the capacity";
}

TEST(FaultPlan, CountsEachCommandOnItsOwn)
{
    FaultPlan faults;
    faults.DropFirst(0x0C, 2);
    faults.CorruptAnswer(0x00, 2);
    faults.HangUpAfter(0x26, 1);
    faults.RefusePiece(0x48, 2);
    EXPECT_TRUE(faults.OnRequest(0x0C).drop);
    EXPECT_FALSE(faults.OnRequest(0x48).refuse);
    EXPECT_TRUE(faults.OnRequest(0x48).refuse);
    EXPECT_FALSE(faults.OnRequest(0x48).refuse);
    EXPECT_FALSE(faults.OnRequest(0x00).corrupt);
    EXPECT_TRUE(faults.OnRequest(0x0C).drop);
    EXPECT_FALSE(faults.OnRequest(0x0C).drop);
    EXPECT_TRUE(faults.OnRequest(0x00).corrupt);
    EXPECT_FALSE(faults.OnRequest(0x00).corrupt);
    EXPECT_TRUE(faults.OnRequest(0x26).hangUp);
    faults.DropFrom(0x27, 2);
    EXPECT_FALSE(faults.OnRequest(0x27).drop);
    EXPECT_TRUE(faults.OnRequest(0x27).drop);
    EXPECT_TRUE(faults.OnRequest(0x27).drop) << "and every one after it";
    faults.NakBlock(3, 0xA2);
    EXPECT_FALSE(faults.TakeBlockNak(2));
    EXPECT_EQ(0xA2, faults.TakeBlockNak(3).value_or(0));
    EXPECT_FALSE(faults.TakeBlockNak(3)) << "once";
    faults.NakFrom(5, 0xA1);
    EXPECT_FALSE(faults.TakeBlockNak(4));
    EXPECT_EQ(0xA1, faults.TakeBlockNak(5).value_or(0));
    EXPECT_EQ(0xA1, faults.TakeBlockNak(6).value_or(0)) << "and every block request after it";
    faults.DropFrom(0x101, 3);
    EXPECT_FALSE(faults.OnRequest(0x101).drop);
    EXPECT_FALSE(faults.OnRequest(0x101).drop);
    EXPECT_TRUE(faults.OnRequest(0x101).drop);
    EXPECT_TRUE(faults.OnRequest(0x101).drop) << "and every request after it";

    faults.CorruptFrom(0x29, 2);
    faults.RefusePieceFrom(0x4C, 2);
    faults.RejectFrom(0x0C, 4);
    for (int request = 1; request <= 3; ++request) {
        FaultPlan::Verdict mode = faults.OnRequest(0x29);
        FaultPlan::Verdict piece = faults.OnRequest(0x4C);
        EXPECT_EQ(request >= 2, mode.corrupt) << "from the second on: " << request;
        EXPECT_EQ(request >= 2, piece.refuse) << request;
        EXPECT_EQ(request >= 1, faults.OnRequest(0x0C).reject) << "the status had three requests before: " << request;
    }
    faults.SetSilent(true);
    EXPECT_TRUE(faults.OnRequest(0x00).drop);
    EXPECT_TRUE(faults.OnRequest(0x2A).drop) << "any command";

    int code = 0;
    unsigned count = 0;
    EXPECT_TRUE(SimCommand::ParseCount("nvread:3", code, count));
    EXPECT_EQ(0x26, code);
    EXPECT_EQ(3u, count);
    EXPECT_TRUE(SimCommand::ParseCount("0x0C:1", code, count));
    EXPECT_EQ(0x0C, code);
    EXPECT_FALSE(SimCommand::ParseCount("status:0", code, count));
    EXPECT_FALSE(SimCommand::ParseCount("nothing:1", code, count));
}

// The pieces of an answer put back together are the answer; the same seed
// cuts it the same way, so a run repeats.
TEST(AnswerSlicer, PiecesMakeUpTheAnswer)
{
    const Bytes answer = {0x26, 0x7D, 0x5E, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
                          0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x7E};
    auto joined = [](const std::vector<AnswerSlicer::Piece>& pieces) {
        Bytes bytes;
        for (const auto& piece : pieces)
            bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
        return bytes;
    };

    AnswerSlicer whole;
    EXPECT_EQ(1u, whole.Slice(answer).size());

    AnswerSlicer loneFlag;
    loneFlag.SeparateClosingFlag();
    auto split = loneFlag.Slice(answer);
    ASSERT_EQ(2u, split.size());
    EXPECT_EQ(Bytes{0x7E}, split[1].bytes);
    EXPECT_GT(split[1].after, split[0].after);
    EXPECT_EQ(answer, joined(split));
    const Bytes unframed = {'\r', '\n', 'O', 'K', '\r', '\n'};
    EXPECT_EQ(1u, loneFlag.Slice(unframed).size()) << "an AT reply has no flag to split off";

    AnswerSlicer chunks;
    AnswerSlicer sameSeed;
    chunks.RandomChunks(7);
    sameSeed.RandomChunks(7);
    auto pieces = chunks.Slice(answer);
    EXPECT_GT(pieces.size(), 1u);
    EXPECT_EQ(answer, joined(pieces));
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_LE(pieces[i].bytes.size(), AnswerSlicer::kMaxChunk);
        EXPECT_GE(pieces[i].after, pieces[i > 0 ? i - 1 : 0].after);
    }
    auto again = sameSeed.Slice(answer);
    ASSERT_EQ(pieces.size(), again.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].bytes, again[i].bytes);
        EXPECT_EQ(pieces[i].after, again[i].after);
    }
}

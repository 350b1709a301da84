// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/wav_chunks.h"

#include <fstream>

namespace kestrine::testmedia {
namespace {

constexpr std::uint32_t kOpenSize = 0xFFFFFFFFu;

std::uint64_t little(const std::string& bytes, std::size_t at, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::string readAt(std::ifstream& in, std::uint64_t offset, std::uint64_t size)
{
    std::string bytes(size, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

bool readCues(const std::string& body, WavChunks& layout)
{
    if (body.size() < 4)
        return false;
    const std::uint64_t count = little(body, 0, 4);
    if (body.size() != 4 + count * 24)
        return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t at = static_cast<std::size_t>(4 + i * 24);
        layout.cues.push_back({static_cast<std::uint32_t>(little(body, at, 4)),
                               static_cast<std::uint32_t>(little(body, at + 4, 4)), body.substr(at + 8, 4),
                               static_cast<std::uint32_t>(little(body, at + 12, 4)),
                               static_cast<std::uint32_t>(little(body, at + 16, 4)),
                               static_cast<std::uint32_t>(little(body, at + 20, 4))});
    }
    return true;
}

bool readLabels(const std::string& body, WavChunks& layout)
{
    if (body.size() < 4)
        return false;
    layout.listIsAdtl = body.compare(0, 4, "adtl") == 0;
    std::size_t at = 4;
    while (at + 8 <= body.size()) {
        const std::string id = body.substr(at, 4);
        const std::size_t size = static_cast<std::size_t>(little(body, at + 4, 4));
        if (at + 8 + size > body.size())
            return false;
        if (id == "labl") {
            if (size < 5 || body[at + 8 + size - 1] != '\0')
                return false;
            layout.labels[static_cast<std::uint32_t>(little(body, at + 8, 4))] = body.substr(at + 12, size - 5);
        }
        at += 8 + size + (size & 1);
    }
    return at == body.size();
}

} // namespace

std::vector<std::string> WavChunks::ids() const
{
    std::vector<std::string> found;
    for (const WavChunk& chunk : chunks)
        found.push_back(chunk.id);
    return found;
}

const WavChunk* WavChunks::find(const std::string& id) const
{
    for (const WavChunk& chunk : chunks)
        if (chunk.id == id)
            return &chunk;
    return nullptr;
}

WavChunks readWavChunks(const std::string& path)
{
    WavChunks layout;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        layout.message = "cannot open " + path;
        return layout;
    }
    in.seekg(0, std::ios::end);
    layout.fileSize = static_cast<std::uint64_t>(in.tellg());
    const std::string head = readAt(in, 0, 12);
    if (head.size() < 12 || head.compare(8, 4, "WAVE") != 0) {
        layout.message = "no RIFF/WAVE header";
        return layout;
    }
    layout.form = head.substr(0, 4);
    layout.riffSize = little(head, 4, 4);
    std::uint64_t ds64Data = 0;
    std::uint64_t at = 12;
    while (at + 8 <= layout.fileSize) {
        const std::string chunkHead = readAt(in, at, 8);
        WavChunk chunk{chunkHead.substr(0, 4), at + 8, little(chunkHead, 4, 4)};
        if (chunk.id == "ds64") {
            const std::string ds64 = readAt(in, chunk.body, 16);
            layout.riffSize = little(ds64, 0, 8);
            ds64Data = little(ds64, 8, 8);
        } else if (chunk.id == "data" && layout.form == "RF64" && chunk.size == kOpenSize) {
            chunk.size = ds64Data;
        }
        if (chunk.body + chunk.size > layout.fileSize) {
            layout.message = "chunk " + chunk.id + " runs past the end of the file";
            return layout;
        }
        if (chunk.id == "cue " && !readCues(readAt(in, chunk.body, chunk.size), layout)) {
            layout.message = "malformed cue chunk";
            return layout;
        }
        if (chunk.id == "LIST" && !readLabels(readAt(in, chunk.body, chunk.size), layout)) {
            layout.message = "malformed LIST chunk";
            return layout;
        }
        layout.chunks.push_back(chunk);
        at = chunk.body + chunk.size + (chunk.size & 1);
    }
    if (at != layout.fileSize) {
        layout.message = "the file does not end where its last chunk does";
        return layout;
    }
    layout.ok = true;
    return layout;
}

std::string dataChunkOf(const std::string& path)
{
    const WavChunks layout = readWavChunks(path);
    const WavChunk* data = layout.find("data");
    if (!data)
        return {};
    std::ifstream in(path, std::ios::binary);
    return readAt(in, data->body, data->size);
}

} // namespace kestrine::testmedia

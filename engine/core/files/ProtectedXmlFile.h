// The protected form of the engine's settings and profile documents: a
// CRC-32 of the enciphered payload, then the payload (a UTF-16LE document
// text after its byte-order mark, padded to whole words) enciphered with the
// settings key. Reading also accepts a plain XML file in its place.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/xml/XmlNode.h"

namespace TarnEngine
{

class ByteBuffer;
class SettingsStore;

// The 128-bit key of every settings file, built from the given text (the
// engine's settings text by default); the same on every run, never stored.
std::array<uint32_t, 4> BuildSettingsKey(const std::wstring& text = std::wstring());

// Writes the document as a protected file of the store; false on any failure,
// the previous file then being unchanged.
bool SaveProtectedXml(const XmlNode& root, SettingsStore& store, const std::wstring& fileName, int location);

// Reads a protected (or plain XML) file of the store; null when missing,
// damaged or not XML. The caller owns the document.
std::unique_ptr<XmlNode> LoadProtectedXml(SettingsStore& store, const std::wstring& fileName, int location);

// Builds the protected file image of a document.
bool BuildProtectedXml(const XmlNode& root, ByteBuffer& out);
// The same from the document's printed text (WriteXmlText), for a caller
// that checks the text before it is stored.
bool BuildProtectedXmlText(const std::wstring& text, ByteBuffer& out);
// The document of a protected (or plain XML) file image; null when neither.
std::unique_ptr<XmlNode> ReadProtectedXml(const uint8_t* data, size_t size);

// Parses a buffer of document text: UTF-16LE after an FF FE mark, otherwise
// UTF-8 or 8-bit text up to its first zero byte.
std::unique_ptr<XmlNode> ParseXmlBuffer(ByteBuffer& buffer);

} // namespace TarnEngine

// Base64 (standard alphabet, '=' padding, no line breaks) between byte
// buffers and UTF-16 text, as the JSON binary values carry it. The caller
// owns every buffer.
#pragma once

namespace zo {

// Units the encoding of n bytes takes.
unsigned Base64EncodedLength(unsigned n);

// Writes the encoding of n bytes to out (Base64EncodedLength(n) units, no
// terminator) and returns the units written.
unsigned Base64Encode(const void* data, unsigned n, wchar_t* out);

// Decodes n units of text into out, which must hold n / 4 * 3 bytes. CR LF
// and a lone LF are skipped; only whole groups of four produce bytes.
// Returns false (and *written 0) when the text is not base64: a unit outside
// the alphabet (a space, a lone CR, anything non-ASCII), a third '=', or a
// letter after '='.
bool Base64Decode(const wchar_t* text, unsigned n, unsigned char* out, unsigned* written);

} // namespace zo

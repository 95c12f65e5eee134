#!/usr/bin/env python3
"""Makes the sounds of the sample content.

Writes, under sample/input/:
  sounds/chime.wav   a bell-like chime, 0.6 s, 44100 Hz mono, 16-bit PCM
  sounds/click.wav   a short wooden click for buttons, 0.08 s, 22050 Hz mono, 16-bit PCM
  music/theme.ogg    a soft four-second arpeggio, 44100 Hz stereo, Ogg Vorbis (the menu's music)
  music/options.ogg  a slower four-second tune in a minor key, the same format (the options' music)

The WAV file comes from Python's standard library alone. The Vorbis file is
encoded with the system's libvorbisenc (from libvorbis-dev, which the build
needs anyway) through ctypes, so its bytes follow the installed library
version. Run it again after changing it; the files it writes are committed.
"""
import ctypes
import ctypes.util
import math
import os
import struct
import wave

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sample", "input")
RATE = 44100


def chime():
    """Two inharmonic partials with an exponential decay; a short attack and a short release so the
    sound starts and ends without a click, and is audible for its whole length."""
    frames = int(RATE * 0.6)
    attack = int(RATE * 0.005)
    release = int(RATE * 0.005)
    out = []
    for i in range(frames):
        t = i / RATE
        value = 0.45 * math.sin(2 * math.pi * 880 * t) + 0.2 * math.sin(2 * math.pi * 2376 * t)
        value *= math.exp(-3.0 * t)
        if i < attack:
            value *= i / attack
        if i >= frames - release:
            value *= (frames - i) / release
        out.append(value)
    return out


def click():
    """A damped low tone with a noisy attack: audible at once and over in 80 ms."""
    rate = 22050
    frames = int(rate * 0.08)
    out = []
    seed = 12345
    for i in range(frames):
        t = i / rate
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = (seed / 0x7FFFFFFF) * 2.0 - 1.0
        value = 0.6 * math.sin(2 * math.pi * 520 * t) * math.exp(-60.0 * t) + 0.25 * noise * math.exp(-160.0 * t)
        if i >= frames - 40:
            value *= (frames - i) / 40
        out.append(value)
    return out


def options_tune():
    """Stereo: a slow minor arpeggio over a low drone, quieter than the menu's theme."""
    frames = RATE * 4
    notes = [220.00, 261.63, 329.63, 261.63]
    step = frames // len(notes)
    left, right = [], []
    for i in range(frames):
        n = i // step
        local = (i % step) / step
        envelope = math.sin(math.pi * local) ** 2
        t = i / RATE
        tone = math.sin(2 * math.pi * notes[n] * t) + 0.2 * math.sin(2 * math.pi * notes[n] * 3 * t)
        drone = 0.25 * math.sin(2 * math.pi * 110.0 * t)
        left.append(0.25 * envelope * tone + 0.2 * drone)
        right.append(0.25 * envelope * math.sin(2 * math.pi * notes[(n + 1) % len(notes)] * t) + 0.2 * drone)
    return left, right


def theme():
    """Stereo: an arpeggio of a major chord, each note with a soft envelope, left and right offset."""
    frames = RATE * 4
    notes = [261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 261.63, 196.00]
    step = frames // len(notes)
    left, right = [], []
    for i in range(frames):
        n = i // step
        local = (i % step) / step
        envelope = math.sin(math.pi * local) ** 2
        t = i / RATE
        tone = math.sin(2 * math.pi * notes[n] * t) + 0.3 * math.sin(2 * math.pi * notes[n] * 2 * t)
        drone = 0.25 * math.sin(2 * math.pi * 130.81 * t)
        left.append(0.3 * envelope * tone + 0.2 * drone)
        right.append(0.3 * envelope * math.sin(2 * math.pi * notes[(n + 2) % len(notes)] * t) + 0.2 * drone)
    return left, right


def write_wav(path, samples, rate=RATE):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<h", max(-32768, min(32767, round(v * 32767)))) for v in samples))


class OggPacket(ctypes.Structure):
    _fields_ = [("packet", ctypes.c_void_p), ("bytes", ctypes.c_long), ("b_o_s", ctypes.c_long),
                ("e_o_s", ctypes.c_long), ("granulepos", ctypes.c_int64), ("packetno", ctypes.c_int64)]


class OggPage(ctypes.Structure):
    _fields_ = [("header", ctypes.POINTER(ctypes.c_ubyte)), ("header_len", ctypes.c_long),
                ("body", ctypes.POINTER(ctypes.c_ubyte)), ("body_len", ctypes.c_long)]


def encode_vorbis(channels, quality=0.2, serial=4242):
    """channels: one list of floats per channel."""
    def load(name, soname):
        found = ctypes.util.find_library(name)
        return ctypes.CDLL(found or soname)
    ogg = load("ogg", "libogg.so.0")
    vorbis = load("vorbis", "libvorbis.so.0")
    enc = load("vorbisenc", "libvorbisenc.so.2")
    enc.vorbis_encode_init_vbr.argtypes = [ctypes.c_void_p, ctypes.c_long, ctypes.c_long, ctypes.c_float]
    vorbis.vorbis_analysis_buffer.restype = ctypes.POINTER(ctypes.POINTER(ctypes.c_float))
    vorbis.vorbis_analysis_buffer.argtypes = [ctypes.c_void_p, ctypes.c_int]

    # The library's state records, held as opaque blocks larger than any of them.
    info, comment, dsp, block, stream = (ctypes.create_string_buffer(8192) for _ in range(5))
    vorbis.vorbis_info_init(info)
    if enc.vorbis_encode_init_vbr(info, len(channels), RATE, quality) != 0:
        raise RuntimeError("libvorbisenc refused the settings")
    vorbis.vorbis_comment_init(comment)
    vorbis.vorbis_analysis_init(dsp, info)
    vorbis.vorbis_block_init(dsp, block)
    ogg.ogg_stream_init(stream, serial)
    out = bytearray()
    page = OggPage()
    packet = OggPacket()

    def write_page():
        out.extend(ctypes.string_at(page.header, page.header_len))
        out.extend(ctypes.string_at(page.body, page.body_len))

    headers = [OggPacket(), OggPacket(), OggPacket()]
    vorbis.vorbis_analysis_headerout(dsp, comment, *(ctypes.byref(h) for h in headers))
    for h in headers:
        ogg.ogg_stream_packetin(stream, ctypes.byref(h))
    while ogg.ogg_stream_flush(stream, ctypes.byref(page)):
        write_page()

    frames = len(channels[0])
    done = 0
    ended = False
    while not ended:
        chunk = min(1024, frames - done)
        if chunk == 0:
            vorbis.vorbis_analysis_wrote(dsp, 0)
        else:
            buffer = vorbis.vorbis_analysis_buffer(dsp, chunk)
            for c, samples in enumerate(channels):
                row = buffer[c]
                for i in range(chunk):
                    row[i] = samples[done + i]
            vorbis.vorbis_analysis_wrote(dsp, chunk)
            done += chunk
        while vorbis.vorbis_analysis_blockout(dsp, block) == 1:
            vorbis.vorbis_analysis(block, None)
            vorbis.vorbis_bitrate_addblock(block)
            while vorbis.vorbis_bitrate_flushpacket(dsp, ctypes.byref(packet)):
                ogg.ogg_stream_packetin(stream, ctypes.byref(packet))
                while not ended and ogg.ogg_stream_pageout(stream, ctypes.byref(page)):
                    write_page()
                    if ogg.ogg_page_eos(ctypes.byref(page)):
                        ended = True
    ogg.ogg_stream_clear(stream)
    vorbis.vorbis_block_clear(block)
    vorbis.vorbis_dsp_clear(dsp)
    vorbis.vorbis_comment_clear(comment)
    vorbis.vorbis_info_clear(info)
    return bytes(out)


def main():
    write_wav(os.path.join(ROOT, "sounds", "chime.wav"), chime())
    write_wav(os.path.join(ROOT, "sounds", "click.wav"), click(), 22050)
    for name, tune in (("theme.ogg", theme), ("options.ogg", options_tune)):
        path = os.path.join(ROOT, "music", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(encode_vorbis(list(tune())))


if __name__ == "__main__":
    main()

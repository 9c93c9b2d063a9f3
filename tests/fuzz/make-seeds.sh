#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into corpus/<target>/. The seeds
# are committed; run this again only to change them. Needs python3, sox, lame.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
fixtures="$here/../fixtures"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# --- decoder: cut encodings of a short tone, and headers made by hand -------
out="$here/corpus/decoder"
mkdir -p "$out"
sox -n -r 44100 -c 2 "$work/t44.wav" synth 0.3 sine 440 vol 0.5
sox -n -r 8000 -c 1 "$work/t8.wav" synth 0.5 sine 440 vol 0.5
sox -n -r 22050 -c 2 "$work/t22.wav" synth 0.3 sine 440 vol 0.5
lame --quiet -b 32 "$work/t44.wav" "$work/cbr.mp3"          # MPEG-1, Info frame
lame --quiet -V 7 "$work/t44.wav" "$work/vbr.mp3"           # Xing frame
lame --quiet -p -b 32 "$work/t44.wav" "$work/crc.mp3"       # frames with a checksum
lame --quiet --freeformat -b 40 "$work/t44.wav" "$work/free.mp3"
lame --quiet -m m -b 8 "$work/t8.wav" "$work/mpeg25.mp3"    # MPEG 2.5, mono
lame --quiet -b 16 "$work/t22.wav" "$work/mpeg2.mp3"        # MPEG-2
head -c 3000 "$fixtures/tone440.mp3" >"$out/tone440-head.mp3"
head -c 1500 "$fixtures/truncated880.mp3" >"$out/cut-mid-frame.mp3"
for f in cbr vbr crc free mpeg25 mpeg2; do head -c 2500 "$work/$f.mp3" >"$out/$f.mp3"; done
python3 - "$out" "$work" <<'PY'
import os, struct, sys
out, work = sys.argv[1], sys.argv[2]
def w(name, data):
    open(os.path.join(out, name), 'wb').write(data)
cbr = open(os.path.join(work, 'cbr.mp3'), 'rb').read()[:2000]
mpeg2 = open(os.path.join(work, 'mpeg2.mp3'), 'rb').read()[:1200]
def syncsafe(n):
    return bytes([(n >> 21) & 0x7f, (n >> 14) & 0x7f, (n >> 7) & 0x7f, n & 0x7f])
tit2 = b'TIT2' + struct.pack('>I', 4) + b'\x00\x00' + b'\x00abc'
# A tag that claims far more bytes than the file holds.
w('id3-huge-size.mp3', b'ID3\x03\x00\x00' + syncsafe(0x0fffffff) + tit2 + cbr[:600])
# A version 2.4 tag with the unsynchronisation and footer flags, then audio.
body = tit2 + b'\x00' * 16
w('id3v24-footer.mp3', b'ID3\x04\x00\x90' + syncsafe(len(body)) + body +
  b'3DI\x04\x00\x90' + syncsafe(len(body)) + cbr)
# A frame whose size field runs past the tag.
w('id3-bad-frame.mp3', b'ID3\x03\x00\x00' + syncsafe(20) + b'TIT2\x7f\xff\xff\xff\x00\x00' +
  b'\x00' * 10 + cbr[:800])
# An ID3v1 tag at the end.
w('id3v1.mp3', cbr[:1200] + b'TAG' + b'title'.ljust(30, b'\x00') + b'\x00' * 95)
# Silent layer I and layer II frames (all bit allocations zero).
layer1 = b'\xff\xff\x90\x00' + b'\x00' * (4 * (12 * 128000 // 44100) - 4)
layer2 = b'\xff\xfd\x80\x00' + b'\x00' * (144 * 128000 // 44100 - 4)
w('layer1.mp3', layer1 * 6)
w('layer2.mp3', layer2 * 4)
# Junk before the audio, and a change of format in the middle.
w('junk-first.mp3', bytes((i * 37) & 0xff for i in range(300)) + cbr[:1500])
w('format-change.mp3', cbr[:1200] + mpeg2)
# Not MP3 at all.
w('riff.mp3', b'RIFF' + struct.pack('<I', 36) + b'WAVEfmt ' + struct.pack('<IHHIIHH', 16, 1, 2, 44100, 176400, 4, 16) + b'data\x00\x00\x00\x00')
w('sync-only.mp3', b'\xff\xfb\x90\x64' * 64)
w('empty.mp3', b'')
PY

# --- command: a reply-buffer byte, then command lines -----------------------
out="$here/corpus/command"
mkdir -p "$out"
seed() { printf '%b' "$2" >"$out/$1"; }
seed play-pause '\x06open a.mp3 type mpegvideo alias x\nplay x\nstatus x mode\npause x\nstatus x position\nresume x\nset x audio all off\nset x audio all on\nstop x\nclose x'
seed base-devices '\x05play b1\npause b1\nstatus b1 position\nstatus b2 length\nstop lirovan\nplay lirovan\nstatus lirovan mode'
seed blanks-in-name '\x07OPEN   b c.mp3   TYPE mpegvideo ALIAS Y\nPlay y\nclose y'
seed backslash-path '\x04open sub\\d.mp3 type mpegvideo alias lirovan\nopen sub\\d.mp3 type mpegvideo alias z\nclose z'
seed close-all '\x03close all\nstatus b1 mode'
seed bad-files '\x06open empty.mp3 type mpegvideo alias e\nopen junk.mp3 type mpegvideo alias j\nopen none.mp3 type mpegvideo alias n\nopen a.mp3 type waveaudio alias w\nopen a.mp3 type mpegvideo alias all'
seed bad-words '\x02set b1 audio all maybe\nstatus b1 volume\nplay\nplay b1 b2\nfrobnicate\n\t \nclose'
seed short-replies '\x01status b1 mode\nstatus b2 position\nstatus lirovan length'
seed no-reply-buffer '\x86status b1 mode'
seed nul-inside '\x06play b1\x00 extra\nstatus b1\x00 mode'
seed short-names '\x46open sub\\d.mp3 type mpegvideo alias s\nplay s\nopen b c.mp3 type mpegvideo alias t\nstatus t mode\nclose s\nclose t'
seed type-twice '\x06open a type mpegvideo.mp3 type mpegvideo alias t\nclose t'

# --- settings: a request line (name byte, value), then the file -------------
out="$here/corpus/settings"
mkdir -p "$out"
seed() { printf '%b' "$2" >"$out/$1"; }
seed program-file '\x00/home/user/Music\n[velmyr]\npath=/home/user/old\n'
seed empty-file '\x00/music\n'
seed crlf '\x01C:\\\\Music\\\\new\n; comment\r\n[Velmyr]\r\nPath = "  quoted  "\r\nother=1\r\n'
seed bom-no-end '\x00x\n\xef\xbb\xbf[velmyr]\npath=a'
seed duplicate-sections '\x02v\n[velmyr]\na=1\n[other]\npath=2\n[VELMYR]\npath=3\nother=4\n'
seed nul-line '\x00v\n[velmyr]\npath=\x00bad\n[velmyr\npath=x\n'
seed quotes '\x00"q"\n[velmyr]\npath=""\n'
seed blanks-value '\x00  lead and trail  \n[velmyr]\n  path  =  x  \n'
seed refused-names '\x06v\n[ velmyr]\npath=1\n'
seed other-section '\x03/x\n# c\n[a]\nk=v\n\n[other]\n'
seed cr-in-value '\x00a\rb\n[velmyr]\npath=x\n'
seed long-line "\\x00$(head -c 300 /dev/zero | tr '\0' 'v')\\n[velmyr]\\npath=$(head -c 600 /dev/zero | tr '\0' 'p')\\n"
echo "seeds: $(ls "$here/corpus/decoder" | wc -l) decoder, $(ls "$here/corpus/command" | wc -l) command, $(ls "$here/corpus/settings" | wc -l) settings"

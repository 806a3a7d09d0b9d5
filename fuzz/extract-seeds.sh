#!/usr/bin/env bash
# Seeds from real camera files, kept out of the repository: for every JPEG
# below CORPUS, its head (bytes up to and including the SOS segment) for the
# scan and clean targets, and each Exif APP1 and each APP13 payload (the bytes
# after the length field) for the exif and iptc targets.
#   fuzz/extract-seeds.sh CORPUS OUT   writes OUT/{scan,clean,exif,iptc}/
# OUT is made anew; without CORPUS nothing is written and the run succeeds.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 CORPUS OUT" >&2; exit 2; }
corpus=$1 out=$2
rm -rf "$out"
if [ ! -d "$corpus" ]; then
  echo "extract-seeds: no corpus at $corpus; only the committed seeds are used"
  exit 0
fi
mkdir -p "$out"/{scan,clean,exif,iptc}

# perl-base is part of every Debian system; the walk is the scan's: fill
# bytes, a code, a length that counts itself (ITU T.81, B.1.1.4).
find "$corpus" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -print0 | sort -z |
perl -0 -e '
  my ($corpus, $out) = @ARGV;
  my $count = 0;
  sub put { my ($name, $bytes) = @_; open(my $f, ">:raw", $name) or die "$name: $!"; print $f $bytes; close $f; }
  while (my $file = <STDIN>) {
    chomp $file;
    open(my $in, "<:raw", $file) or die "$file: $!";
    local $/; my $d = <$in>; close $in;
    next unless substr($d, 0, 2) eq "\xFF\xD8";
    (my $name = substr($file, length($corpus) + 1)) =~ s{/}{_}g;
    my ($pos, $n, $size) = (2, 0, length $d);
    while ($pos < $size) {
      my $code = ord substr($d, $pos, 1);
      if ($code == 0xFF) { $pos++; next; }
      if ($code == 0xD9) { $pos++; last; }                      # EOI
      last if $size - $pos < 3;
      my $len = unpack("n", substr($d, $pos + 1, 2));
      last if $len < 2 || $len > $size - $pos - 1;
      if ($code == 0xDA) { $pos += 1 + $len; last; }            # SOS
      my $payload = substr($d, $pos + 3, $len - 2);
      $n++;
      put("$out/exif/$name-$n", $payload) if $code == 0xE1 && substr($payload, 0, 4) eq "Exif";
      put("$out/iptc/$name-$n", $payload) if $code == 0xED;
      $pos += 1 + $len;
    }
    put("$out/scan/$name", substr($d, 0, $pos));
    put("$out/clean/$name", substr($d, 0, $pos));
    $count++;
  }
  print "extract-seeds: heads of $count corpus files in $out\n";
' "$corpus" "$out"

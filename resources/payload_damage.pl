#!/usr/bin/perl
# payload_damage.pl INSTALLER DAMAGED size FACTOR
# payload_damage.pl INSTALLER DAMAGED flip OFFSET
# Writes a copy of INSTALLER with its payload damaged, and its header
# checksum made right again, so that the copy is a sound executable:
#  - size: the payload's size field (offset 20 of the archive) multiplied
#    by FACTOR, and the payload's check record made to match the damage, so
#    that the installer's start-up check passes it and its extractor meets
#    the damage. Halved, the container "ends" in the middle of its entries,
#    so an extraction writes the first files and fails at the first read
#    past that end; doubled, it claims more bytes than the resource holds.
#  - flip: one bit of the archive's byte at OFFSET flipped, the check record
#    left as it is, as a download or a disk might damage it; the installer
#    refuses it at start-up.
use strict;
use warnings;
use Compress::Zlib qw(crc32);
my ($source, $target, $how, $amount) = @ARGV;
die "usage: payload_damage.pl INSTALLER DAMAGED size FACTOR|flip OFFSET\n"
  unless defined $amount && ($how eq 'size' || $how eq 'flip');
open(my $in, '<:raw', $source) or die "$source: $!\n";
my $image = do { local $/; <$in> };
close($in);

# The installer's own code holds the magic as a terminated string; only the
# payload has the plain archive's tag right behind it.
my $archive = index($image, "FILE_PACKER 1.00/***");
die "$source: no payload archive found\n" if $archive < 0;
my $size = unpack('V', substr($image, $archive + 20, 4));
my $container = $size + 24;
# The check record ("KCRC", the bytes it covers, their CRC-32) follows the
# payload's data in the resource section.
my $record = index($image, "KCRC", $archive + $container);
die "$source: no payload check record found\n"
  if $record < 0 || unpack('V', substr($image, $record + 4, 4)) != $container;

if ($how eq 'size') {
  substr($image, $archive + 20, 4) = pack('V', int($size * $amount));
  substr($image, $record + 8, 4) = pack('V', crc32(substr($image, $archive, $container)));
} else {
  die "$source: offset $amount is outside the archive\n" if $amount >= $container;
  substr($image, $archive + $amount, 1) = chr(ord(substr($image, $archive + $amount, 1)) ^ 0x10);
}

# The PE checksum: the file's 16-bit words added with end-around carry, the
# checksum field itself counted as zero, plus the file's length.
my $checksum_at = unpack('V', substr($image, 0x3C, 4)) + 24 + 64;
substr($image, $checksum_at, 4) = pack('V', 0);
my $padded = length($image) % 2 ? $image . "\0" : $image;
my $sum = 0;
for my $word (unpack('v*', $padded)) {
  $sum += $word;
  $sum = ($sum & 0xFFFF) + ($sum >> 16);
}
substr($image, $checksum_at, 4) = pack('V', ($sum & 0xFFFF) + length($image));

open(my $out, '>:raw', $target) or die "$target: $!\n";
print $out $image;
close($out) or die "$target: $!\n";

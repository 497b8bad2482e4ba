#!/usr/bin/perl
# payload_damage.pl INSTALLER DAMAGED FACTOR
# Writes a copy of INSTALLER whose payload's size field (offset 20 of the
# archive) is multiplied by FACTOR, and whose header checksum is made right
# again, so that the copy is a sound executable with a damaged payload.
# Halved, the container "ends" in the middle of its entries, so an
# extraction writes the first files and fails at the first read past that
# end; doubled, it claims more bytes than the resource holds.
use strict;
use warnings;
my ($source, $target, $factor) = @ARGV;
die "usage: payload_damage.pl INSTALLER DAMAGED FACTOR\n" unless defined $factor;
open(my $in, '<:raw', $source) or die "$source: $!\n";
my $image = do { local $/; <$in> };
close($in);

# The installer's own code holds the magic as a terminated string; only the
# payload has the plain archive's tag right behind it.
my $archive = index($image, "FILE_PACKER 1.00/***");
die "$source: no payload archive found\n" if $archive < 0;
my $size = unpack('V', substr($image, $archive + 20, 4));
substr($image, $archive + 20, 4) = pack('V', int($size * $factor));

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

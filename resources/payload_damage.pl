#!/usr/bin/perl
# payload_damage.pl ARCHIVE DAMAGED [FACTOR]
# Writes a copy of ARCHIVE whose size field (offset 20) is multiplied by
# FACTOR (default 0.5). Halved, the container "ends" in the middle of its
# entries, so an extraction writes the first files and fails at the first
# read past that end; doubled, it claims more bytes than the copy holds.
use strict;
use warnings;
my ($source, $target, $factor) = @ARGV;
die "usage: payload_damage.pl ARCHIVE DAMAGED [FACTOR]\n" unless defined $target;
$factor = 0.5 unless defined $factor;
open(my $in, '<:raw', $source) or die "$source: $!\n";
my $archive = do { local $/; <$in> };
close($in);
die "$source: too short for an archive\n" if length($archive) < 36;
my $size = unpack('V', substr($archive, 20, 4));
substr($archive, 20, 4) = pack('V', int($size * $factor));
open(my $out, '>:raw', $target) or die "$target: $!\n";
print $out $archive;
close($out) or die "$target: $!\n";

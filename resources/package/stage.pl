#!/usr/bin/perl
# stage.pl FILEPACKER SOURCE_DIR STAGE_DIR INSTALLER BUILT_FILE...
# Puts the sample package together in STAGE_DIR and makes INSTALLER of it
# with `filepacker installer`, as a packager does:
# the programs built for Windows, the texts of SOURCE_DIR as Windows keeps
# them (CRLF lines; the Japanese ones in code page 932), and skin bitmaps and
# sample sounds drawn here. Every file gets a fixed release time, one minute
# apart, so that the times that reach the user are the package's own and not
# the build's. "Kormit.exe" is packed first; the rest follow in name order.
# The archive is the same for any number of packing threads.
use strict;
use warnings;
use File::Basename qw(basename);
use File::Copy qw(copy);
use File::Path qw(make_path remove_tree);

my ($filepacker, $source, $stage, $installer, @built) = @ARGV;
die "usage: stage.pl FILEPACKER SOURCE_DIR STAGE_DIR INSTALLER BUILT_FILE...\n" unless @built;

remove_tree($stage);
make_path($stage);

for my $file (@built) {
  copy($file, "$stage/" . basename($file)) or die "stage.pl: cannot copy $file: $!\n";
}

opendir(my $dir, $source) or die "stage.pl: $source: $!\n";
for my $name (sort grep { /\.(txt|ini|lng|m3u)$/ } readdir($dir)) {
  open(my $in, '<:raw', "$source/$name") or die "stage.pl: $source/$name: $!\n";
  my $text = do { local $/; <$in> };
  close($in);
  if ($name =~ /_ja\./) {
    # iconv is part of every system's C library tools; no Perl module needed.
    my $tmp = "$stage/$name.utf8";
    write_file($tmp, $text);
    $text = `iconv -f UTF-8 -t CP932 "$tmp"`;
    die "stage.pl: cannot convert $name to code page 932\n" if $?;
    unlink($tmp);
  }
  $text =~ s/\r?\n/\r\n/g;
  write_file("$stage/$name", $text);
}
closedir($dir);

# Skin bitmaps: 24-bit, bottom-up rows padded to four bytes. Each part gets a
# pattern of its own, so that the images compress like real ones do.
my %bitmaps = (
  'skin_main.bmp'     => [275, 116, 0],
  'skin_buttons.bmp'  => [136, 36, 1],
  'skin_seek.bmp'     => [307, 10, 2],
  'skin_volume.bmp'   => [68, 433, 3],
  'skin_titlebar.bmp' => [344, 87, 4],
  'skin_numbers.bmp'  => [99, 13, 5],
  'skin_playlist.bmp' => [280, 186, 6],
  'skin_eq.bmp'       => [275, 315, 7],
  'visual_back.bmp'   => [152, 32, 8],
);
for my $name (sort keys %bitmaps) {
  write_file("$stage/$name", bitmap(@{ $bitmaps{$name} }));
}
write_file("$stage/chime.wav", chime(22050, 0.8, [880, 1320, 1760]));
write_file("$stage/click.wav", chime(22050, 0.05, [3000]));

opendir($dir, $stage) or die "stage.pl: $stage: $!\n";
my @names = sort grep { -f "$stage/$_" } readdir($dir);
closedir($dir);
my @order = ('Kormit.exe', grep { $_ ne 'Kormit.exe' } @names);
die "stage.pl: Kormit.exe is missing\n" unless -f "$stage/Kormit.exe";

my $release = 1227456180;  # 2008-11-23 16:03:00 UTC
for my $i (0 .. $#order) {
  my $time = $release + 60 * $i;
  utime($time, $time, "$stage/$order[$i]") or die "stage.pl: $order[$i]: $!\n";
}

# The adaptive cut: every user downloads the installer, and its pieces of
# varying length (each at most the block size) code smaller.
my @command = ($filepacker, 'installer', '--adaptive', '-f', '-b', '200000', '-o', $installer,
               map { "$stage/$_" } @order);
system(@command) == 0 or die "stage.pl: @command failed\n";

sub write_file {
  my ($path, $bytes) = @_;
  open(my $out, '>:raw', $path) or die "stage.pl: $path: $!\n";
  print $out $bytes;
  close($out) or die "stage.pl: $path: $!\n";
}

sub bitmap {
  my ($width, $height, $style) = @_;
  my $row = ($width * 3 + 3) & ~3;
  my $pixels = '';
  for my $y (0 .. $height - 1) {
    my $line = '';
    for my $x (0 .. $width - 1) {
      my ($r, $g, $b);
      my $bevel = ($x % 23 == 0 || $y % 18 == 0) ? 60 : 0;
      if ($style % 3 == 0) {
        ($r, $g, $b) = (30 + $y % 40, 40 + int(80 * $x / $width), 90 + int(120 * $y / $height));
      } elsif ($style % 3 == 1) {
        my $d = (($x - $width / 2) ** 2 + ($y - $height / 2) ** 2) ** 0.5;
        ($r, $g, $b) = (int(200 - $d) & 255, 120 + int($d) % 50, 60 + ($x ^ $y) % 64);
      } else {
        ($r, $g, $b) = ((($x >> 3) + ($y >> 3)) % 2 ? (50, 60, 70) : (70, 80, 100));
        $g += int(100 * sin(($x + $style * 7) / 9.0) ** 2);
      }
      $line .= pack('CCC', ($b + $bevel) % 256, ($g + $bevel) % 256, ($r + $bevel) % 256);
    }
    $pixels .= $line . ("\0" x ($row - $width * 3));
  }
  my $image = 40 + length($pixels);
  return pack('a2Vvv V', 'BM', 14 + $image, 0, 0, 54)
       . pack('VllvvVVllVV', 40, $width, $height, 1, 24, 0, length($pixels), 2835, 2835, 0, 0)
       . $pixels;
}

# 16-bit mono PCM: a few partials that fade out, like a small bell.
sub chime {
  my ($rate, $seconds, $partials) = @_;
  my $count = int($rate * $seconds);
  my $samples = '';
  for my $n (0 .. $count - 1) {
    my $t = $n / $rate;
    my $value = 0;
    for my $k (0 .. $#$partials) {
      $value += sin(2 * 3.14159265358979 * $partials->[$k] * $t) / (1 + $k);
    }
    my $envelope = exp(-4 * $t / $seconds);
    $samples .= pack('s<', int(9000 * $value * $envelope));
  }
  return pack('a4Va4', 'RIFF', 36 + length($samples), 'WAVE')
       . pack('a4VvvVVvv', 'fmt ', 16, 1, 1, $rate, $rate * 2, 2, 16)
       . pack('a4V', 'data', length($samples))
       . $samples;
}

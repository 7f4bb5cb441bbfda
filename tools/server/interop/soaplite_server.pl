#!/usr/bin/perl
# An independent SOAP 1.1 rpc/encoded server (SOAP::Lite, Debian package
# libsoap-lite-perl) serving DeduRazivor infoWarn. It decodes each request
# with SOAP::Lite's own deserializer and appends the parameters it got as
# one JSON line (UTF-8) to the record file, then answers infoWarnReturn 0.
#
# usage: soaplite_server.pl PORT_FILE RECORD_FILE NAMESPACE
use strict;
use warnings;
use JSON::PP;
use SOAP::Transport::HTTP;

my ($port_file, $record_file, $namespace) = @ARGV;
die "usage: soaplite_server.pl PORT_FILE RECORD_FILE NAMESPACE\n" unless $namespace;

package DeduRazivor;

sub infoWarn {
  my ($class, @params) = @_;
  my $som = pop @params if @params && ref $params[-1] && ref $params[-1] eq 'SOAP::SOM';
  my %named;
  @named{qw(guid when memos logType)} = @params;
  open my $out, '>>:encoding(UTF-8)', $record_file or die "record: $!";
  print $out JSON::PP->new->canonical->encode({params => \%named, count => scalar @params}), "\n";
  close $out;
  return SOAP::Data->name('infoWarnReturn')->type('long')->value(0);
}

package main;

my $daemon = SOAP::Transport::HTTP::Daemon->new(LocalAddr => '127.0.0.1', LocalPort => 0,
                                                Reuse => 1)
    or die "listen: $!";
$daemon->dispatch_with({$namespace => 'DeduRazivor'});
$daemon->dispatch_to('DeduRazivor');
my ($port) = $daemon->url =~ /:(\d+)\/?$/;
open my $pf, '>', "$port_file.tmp" or die "port file: $!";
print $pf "$port\n";
close $pf;
rename "$port_file.tmp", $port_file;
$daemon->handle;

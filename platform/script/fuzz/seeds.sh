#!/bin/sh
# Seed documents: feeds as servers send them (RSS with Media RSS, Atom, RDF),
# with entities, a document type, namespaces and CDATA, and one cut at its end.
# The fuzzer takes its charset choice from the last byte.
cd "$1" || exit 1
printf '%s\000' '<?xml version="1.0" encoding="UTF-8"?><rss version="2.0" xmlns:media="http://search.yahoo.com/mrss/"><channel><title>T &amp; c</title><item><title>Caf&eacute;&nbsp;&hellip;</title><link>http://a/1</link><media:group><media:content url="http://a/1.flv" isDefault="true"/><media:thumbnail url="http://a/1.jpg"/></media:group><description><![CDATA[<b>x</b>]]></description></item></channel></rss>' > rss.xml
printf '%s\000' '<feed xmlns="http://www.w3.org/2005/Atom"><title>A</title><entry><id>1</id><link rel="alternate" href="http://a/2"/><updated>2026-01-01T00:00:00Z</updated><!-- c --><?pi x?></entry></feed>' > atom.xml
printf '%s\000' '<?xml version="1.0"?><!DOCTYPE r [<!ENTITY e "x&amp;y"><!ENTITY f "&e;&e;"><!NOTATION n SYSTEM "n">]><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/"><channel/><item><title>&f; &bogus;</title></item></rdf:RDF>' > rdf.xml
printf '%s\002' '<?xml version="1.0" encoding="ISO-8859-1"?><rss><channel><item><title>caf'"$(printf '\351\223')"'</title></item></channel></rss' > cut-latin1.xml

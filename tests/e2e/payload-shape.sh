#!/usr/bin/env bash
# The sample setup file as the packer lists it: a whole archive, its files by directory,
# compressed/stored, so that the end-to-end installs go through both kinds of data in each.
#   payload-shape.sh TSARIN_PACK SETUP_EXE
set -o pipefail
"$1" list "$2" | awk -F'\t' '
  function flush() { shape = shape dir " " n["compressed"] + 0 "/" n["stored"] + 0 " "; delete n }
  BEGIN { dir = "base" }
  $1 == "dir" { flush(); dir = substr($2, 2) }
  $1 == "file" { n[$4]++ }
  END { flush(); print shape; exit shape != "base 41/22 Profiles 0/32 Textures 44/0 " }'

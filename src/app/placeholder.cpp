void KambrixAppPlaceholder() {}

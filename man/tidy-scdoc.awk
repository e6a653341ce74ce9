# Drops the paragraph breaks that scdoc writes where no paragraph follows or
# where a section has just begun, which man page linters flag, and keeps man
# from hyphenating option names (.TH turns hyphenation back on).
{ lines[NR] = $0 }
END {
    kept = ""
    for (i = 1; i <= NR; i++) {
        line = lines[i]
        following = i < NR ? lines[i + 1] : ""
        if (line == ".P" && (kept ~ /^\.(SH|P$)/ || following ~ /^\.(SH|RE|P$)/ || following == "")) {
            continue
        }
        print line
        kept = line
        if (line ~ /^\.TH /) {
            print ".nh"
        }
    }
}

" Drevel scripts end in .dv.
autocmd BufRead,BufNewFile *.dv setfiletype drevel

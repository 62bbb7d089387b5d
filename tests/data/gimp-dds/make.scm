; Writes each DDS file of this folder from source.png and the PNG GIMP shows when it opens it.
; Run in this folder: gimp -i -b - < make.scm
(define (save-dds name comp)
  (let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "source.png" "source.png")))
         (d (car (gimp-image-get-active-drawable img))))
    ; compression, no mipmaps, selected layer, default format, then GIMP's defaults
    (file-dds-save RUN-NONINTERACTIVE img d name name comp 0 0 0 -1 0 0 0 0 2.2 0 0 0.5)
    (gimp-image-delete img)))
(define (render name out)
  ; no mipmaps, decode YCoCg / alpha exponent as GIMP does by default; keep colour under alpha
  (let* ((img (car (file-dds-load RUN-NONINTERACTIVE name name 0 1)))
         (d (car (gimp-image-get-active-drawable img))))
    (file-png-save2 RUN-NONINTERACTIVE img d out out 0 9 0 0 0 0 0 0 1)
    (gimp-image-delete img)))
(for-each (lambda (p) (save-dds (car p) (cadr p)) (if (pair? (cddr p)) (render (car p) (caddr p))))
  '(("dxt5.dds" 3 "dxt5.png") ("ycocg.dds" 9 "ycocg.png") ("ycocg-scaled.dds" 10 "ycocg-scaled.png")
    ("aexp.dds" 8 "aexp.png") ("bc3n.dds" 4) ("rxgb.dds" 7) ("bc5.dds" 6)))
(gimp-quit 0)

;; The game in Emacs's own terminal (M-x term), which gives it TERM=eterm-color and Emacs's
;; entry for it, the frame's whole window its screen.
(menu-bar-mode -1)
(term "./quarvel-zib")

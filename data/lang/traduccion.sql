-- Table of every language database: one translated text per (form, key).
-- All columns are text: the program compares them with quoted literals (form='3').
-- The primary key makes a duplicated key a build error instead of a silent second row.
CREATE TABLE traduccion (
    form    TEXT NOT NULL,
    object  TEXT NOT NULL,
    caption TEXT,
    PRIMARY KEY (form, object)
);

/* PICGrammar: the grammar of the binary program and result stream.
 *
 * The empty lex_state_a..f rules switch the lexer state for the token that
 * follows; every state where one of them is reduced has it as its only
 * action, so the parser reduces it before it reads that token. Lists are
 * left-recursive and the parser stack is capped (YYMAXDEPTH), so the depth of
 * nested structures is bounded and exceeding it is a parse failure, not a
 * stack overflow. */
%code top {
#include <cstdio>
}
%code requires {
#include "types/PICDecodeContext.h"
}
%code {
#include "types/PICTokens.h"

/* The trace goes to standard output; the parser stack never grows beyond its
 * initial block, so an exception leaving the parser leaks nothing. */
#define YYFPRINTF(stream, ...) std::fprintf((stream) == stderr ? stdout : (stream), __VA_ARGS__)
#define YYINITDEPTH 500
#define YYMAXDEPTH 500

int pic_lex(PIC_STYPE *value, arxmod::PICDecodeContext &ctx);
void pic_error(arxmod::PICDecodeContext &ctx, const char *message);

using arxmod::StructureKey;
namespace tok = arxmod::pic_token;
}

%define api.prefix {pic_}
%define api.pure full
%define api.value.type {arxmod::PICSemantic}
%define parse.trace
%parse-param {arxmod::PICDecodeContext &ctx}
%lex-param {arxmod::PICDecodeContext &ctx}

%token UNKNOWN_STRUCTURE_KEY 1
%token CHAR_KEY 2 COMPLEX_KEY 3 FLOAT_KEY 4 SIGNED_KEY 5 UNSIGNED_KEY 6
%token BOOLEAN_FALSE_KEY 7 BOOLEAN_TRUE_KEY 8 END_STRUCT 9 END_STRUCTURE_ARRAY 10
%token PROGRAM_KEY 11 VOID_KEY 12 FIXED_POINT_ARRAY_KEY 13 CHAR_ARRAY_KEY 14
%token FLOAT_ARRAY_KEY 15 SIGNED_ARRAY_KEY 16 UNSIGNED_ARRAY_KEY 17 COMPLEX_ARRAY_KEY 18
%token OBJECT_HANDLE 19 OBJECT_HANDLE_AND_LIST_DELIMITER 20 METHOD_WITH_VALUE 21
%token METHOD_WITHOUT_VALUE 22 UNQUALIFIED_VALUE 23 ARRAY_SIZE 24
%token DELTA_KEY 25 FIXED_POINT_KEY 26 BOOLEAN_ARRAY_KEY 27 STRUCTURE_KEY 28
%token STRUCTURE_ARRAY_KEY 29 RESERVED1 30 ALARM_KEY 31 EVENT_KEY 32 EXCEPTION_KEY 33
%token EXTENDED_HANDLE_KEY 34 LIST_KEY 35 LOG_RECORD_KEY 36 METHOD_SECURITY_KEY 37
%token RANGE_KEY 38 STRING_ARRAY_KEY 39 UNSIGNED_ARRAY_ARRAY_KEY 40 WAVEFORM_KEY 41
%token DATE_KEY 42 CALENDAR_KEY 43 PROFILE_KEY 44

%start translation_unit

%%

translation_unit
  : lex_state_a program { ctx.result = $2.value; }
  | lex_state_a results { ctx.result = $2.list; }
  ;

lex_state_a : %empty { ctx.setLexState('a'); } ;
lex_state_b : %empty { ctx.setLexState('b'); } ;
lex_state_c : %empty { ctx.setLexState('c'); } ;
lex_state_d : %empty { ctx.setLexState('d'); } ;
lex_state_e : %empty { ctx.setLexState('e'); } ;
lex_state_f : %empty { ctx.setLexState('f'); } ;

/* Programs */

program
  : program_start { $$.value = ctx.program(); }
  | program_start statements { $$.value = ctx.program(); }
  ;
program_start : PROGRAM_KEY lex_state_d { ctx.startProgram(); } ;
statements
  : statement_item
  | statements statement_item
  ;
statement_item
  : statement lex_state_d
  | applied_statements lex_state_d
  ;
statement
  : OBJECT_HANDLE lex_state_c method_invocation { ctx.addStatement($1.number(), $3.value); }
  ;
applied_statements
  : OBJECT_HANDLE_AND_LIST_DELIMITER object_handles_opt OBJECT_HANDLE_AND_LIST_DELIMITER
    lex_state_c method_invocation { ctx.addStatements($2.list, $5.value); }
  ;
object_handles_opt
  : %empty { $$.list = ctx.newList(); }
  | object_handles
  ;
object_handles
  : OBJECT_HANDLE { $$.list = ctx.fields({ctx.blob().make<arxmod::UnsignedType>($1.number())}); }
  | object_handles OBJECT_HANDLE
    { $$.list = ctx.append($1.list, ctx.blob().make<arxmod::UnsignedType>($2.number())); }
  ;
method_invocation
  : METHOD_WITH_VALUE lex_state_a qualified_value
    { $$.value = ctx.invocation($1.number(), $3.value); }
  | METHOD_WITHOUT_VALUE { $$.value = ctx.invocation($1.number(), nullptr); }
  ;

/* Results and values */

results : list_sub ;
list_sub
  : %empty { $$.list = ctx.newList(); }
  | list_sub qualified_value lex_state_a { $$.list = ctx.append($1.list, $2.value); }
  ;
qualified_value
  : simple_qualified_value
  | aggregate_qualified_value
  ;
simple_qualified_value
  : numeric_val
  | VOID_KEY { $$.value = ctx.makeVoid(); }
  | DELTA_KEY { $$.value = ctx.makeDelta(); }
  ;
numeric_val
  : complex_val
  | real_val
  ;
real_val
  : char_val
  | float_val
  | signed_val
  | unsigned_val
  | fixed_point_val
  | boolean_val
  ;
char_val : CHAR_KEY unqualified_value_sub { $$.value = ctx.makeChar($2); } ;
float_val : FLOAT_KEY unqualified_value_sub { $$.value = ctx.makeFloat($2); } ;
signed_val : SIGNED_KEY unqualified_value_sub { $$.value = ctx.makeSigned($2); } ;
unsigned_val : UNSIGNED_KEY unqualified_value_sub { $$.value = ctx.makeUnsigned($2); } ;
fixed_point_val : FIXED_POINT_KEY unqualified_value_sub { $$.value = ctx.makeFixedPoint($2); } ;
complex_val : COMPLEX_KEY unqualified_value_sub { $$.value = ctx.makeComplex(); } ;
boolean_val
  : BOOLEAN_TRUE_KEY { $$.value = ctx.makeBoolean(true); }
  | BOOLEAN_FALSE_KEY { $$.value = ctx.makeBoolean(false); }
  ;
unqualified_value_sub : lex_state_b UNQUALIFIED_VALUE { $$ = $2; } ;

aggregate_qualified_value
  : numeric_array
  | structure
  | structure_array
  ;
numeric_array
  : char_array
  | boolean_array
  | float_array
  | signed_array
  | unsigned_array
  | complex_array
  | fixed_point_array
  ;
char_array : CHAR_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kCharArrayKey, $2); } ;
boolean_array : BOOLEAN_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kBooleanArrayKey, $2); } ;
float_array : FLOAT_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kFloatArrayKey, $2); } ;
signed_array : SIGNED_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kSignedArrayKey, $2); } ;
unsigned_array : UNSIGNED_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kUnsignedArrayKey, $2); } ;
complex_array : COMPLEX_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kComplexArrayKey, $2); } ;
fixed_point_array : FIXED_POINT_ARRAY_KEY simple_array_value
    { $$.value = ctx.makeArray(tok::kFixedPointArrayKey, $2); } ;
simple_array_value
  : lex_state_e ARRAY_SIZE lex_state_b UNQUALIFIED_VALUE { ctx.setArraySize($2); $$ = $4; }
  ;

/* Structures */

structure_start : STRUCTURE_KEY lex_state_f ;
structure_array_start : STRUCTURE_ARRAY_KEY lex_state_f ;

structure
  : extended_handle_structure
  | date_structure
  | structure_start LOG_RECORD_KEY lex_state_a log_record_body
    { $$.value = ctx.structure(StructureKey::LogRecord, $4.list); }
  | structure_start ALARM_KEY lex_state_a alarm_body
    { $$.value = ctx.structure(StructureKey::Alarm, $4.list); }
  | structure_start EVENT_KEY lex_state_a event_body
    { $$.value = ctx.structure(StructureKey::Event, $4.list); }
  | structure_start RANGE_KEY lex_state_a range_body
    { $$.value = ctx.structure(StructureKey::Range, $4.list); }
  | structure_start LIST_KEY lex_state_a list_body
    { $$.value = ctx.structure(StructureKey::List, $4.list); }
  | structure_start EXCEPTION_KEY lex_state_a exception_body
    { $$.value = ctx.structure(StructureKey::Exception, $4.list); }
  | structure_start WAVEFORM_KEY lex_state_a waveform_body
    { $$.value = ctx.structure(StructureKey::Waveform, $4.list); }
  | structure_start METHOD_SECURITY_KEY lex_state_a method_security_body
    { $$.value = ctx.structure(StructureKey::MethodSecurity, $4.list); }
  | structure_start CALENDAR_KEY lex_state_a calendar_body
    { $$.value = ctx.structure(StructureKey::Calendar, $4.list); }
  | structure_start PROFILE_KEY lex_state_a profile_body
    { $$.value = ctx.structure(StructureKey::Profile, $4.list); }
  | structure_start STRING_ARRAY_KEY lex_state_a string_array_body
    { $$.value = ctx.structure(StructureKey::StringArray, $4.list); }
  | structure_start UNSIGNED_ARRAY_ARRAY_KEY lex_state_a unsigned_array_array_body
    { $$.value = ctx.structure(StructureKey::UnsignedArrayArray, $4.list); }
  | structure_start UNKNOWN_STRUCTURE_KEY lex_state_a list_body
    { $$.value = ctx.structure(StructureKey::Unknown, $4.list, $2.bits); }
  ;
extended_handle_structure
  : structure_start EXTENDED_HANDLE_KEY lex_state_a extended_handle_body
    { $$.value = ctx.structure(StructureKey::ExtendedHandle, $4.list); }
  ;
date_structure
  : structure_start DATE_KEY lex_state_a date_body
    { $$.value = ctx.structure(StructureKey::Date, $4.list); }
  ;

structure_array
  : structure_array_start LOG_RECORD_KEY lex_state_a log_record_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::LogRecord, $4.list); }
  | structure_array_start ALARM_KEY lex_state_a alarm_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Alarm, $4.list); }
  | structure_array_start EVENT_KEY lex_state_a event_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Event, $4.list); }
  | structure_array_start EXTENDED_HANDLE_KEY lex_state_a extended_handle_bodies
    END_STRUCTURE_ARRAY { $$.value = ctx.structureArray(StructureKey::ExtendedHandle, $4.list); }
  | structure_array_start RANGE_KEY lex_state_a range_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Range, $4.list); }
  | structure_array_start LIST_KEY lex_state_a list_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::List, $4.list); }
  | structure_array_start EXCEPTION_KEY lex_state_a exception_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Exception, $4.list); }
  | structure_array_start WAVEFORM_KEY lex_state_a waveform_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Waveform, $4.list); }
  | structure_array_start METHOD_SECURITY_KEY lex_state_a method_security_bodies
    END_STRUCTURE_ARRAY { $$.value = ctx.structureArray(StructureKey::MethodSecurity, $4.list); }
  | structure_array_start DATE_KEY lex_state_a date_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Date, $4.list); }
  | structure_array_start CALENDAR_KEY lex_state_a calendar_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Calendar, $4.list); }
  | structure_array_start PROFILE_KEY lex_state_a profile_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Profile, $4.list); }
  | structure_array_start STRING_ARRAY_KEY lex_state_a string_array_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::StringArray, $4.list); }
  | structure_array_start UNSIGNED_ARRAY_ARRAY_KEY lex_state_a unsigned_array_array_bodies
    END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::UnsignedArrayArray, $4.list); }
  | structure_array_start UNKNOWN_STRUCTURE_KEY lex_state_a list_bodies END_STRUCTURE_ARRAY
    { $$.value = ctx.structureArray(StructureKey::Unknown, $4.list, $2.bits); }
  ;

/* Each bodies rule collects the field lists of the elements of an array. */
log_record_bodies
  : %empty { $$.list = ctx.newList(); }
  | log_record_bodies log_record_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
alarm_bodies
  : %empty { $$.list = ctx.newList(); }
  | alarm_bodies alarm_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
event_bodies
  : %empty { $$.list = ctx.newList(); }
  | event_bodies event_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
extended_handle_bodies
  : %empty { $$.list = ctx.newList(); }
  | extended_handle_bodies extended_handle_body lex_state_a
    { $$.list = ctx.append($1.list, $2.list); }
  ;
range_bodies
  : %empty { $$.list = ctx.newList(); }
  | range_bodies range_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
list_bodies
  : %empty { $$.list = ctx.newList(); }
  | list_bodies list_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
exception_bodies
  : %empty { $$.list = ctx.newList(); }
  | exception_bodies exception_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
waveform_bodies
  : %empty { $$.list = ctx.newList(); }
  | waveform_bodies waveform_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
method_security_bodies
  : %empty { $$.list = ctx.newList(); }
  | method_security_bodies method_security_body lex_state_a
    { $$.list = ctx.append($1.list, $2.list); }
  ;
date_bodies
  : %empty { $$.list = ctx.newList(); }
  | date_bodies date_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
calendar_bodies
  : %empty { $$.list = ctx.newList(); }
  | calendar_bodies calendar_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
profile_bodies
  : %empty { $$.list = ctx.newList(); }
  | profile_bodies profile_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
string_array_bodies
  : %empty { $$.list = ctx.newList(); }
  | string_array_bodies string_array_body lex_state_a { $$.list = ctx.append($1.list, $2.list); }
  ;
unsigned_array_array_bodies
  : %empty { $$.list = ctx.newList(); }
  | unsigned_array_array_bodies unsigned_array_array_body lex_state_a
    { $$.list = ctx.append($1.list, $2.list); }
  ;

/* Structure bodies: every field is followed by lex_state_a, every body ends
 * with END_STRUCT, and each yields its fields as a list. */
log_record_body
  : unsigned_field numeric_field list_sub END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.list}); }
  ;
alarm_body
  : unsigned_field unsigned_field unsigned_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.value}); }
  | unsigned_field unsigned_field unsigned_field unsigned_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.value, $4.value}); }
  ;
event_body
  : unsigned_field unsigned_field handle_field value_field handle_field value_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.value, $4.value, $5.value, $6.value}); }
  ;
extended_handle_body
  : unsigned_field END_STRUCT { $$.list = ctx.fields({$1.value}); }
  | unsigned_field char_array_field END_STRUCT { $$.list = ctx.fields({$1.value, $2.value}); }
  ;
range_body
  : lex_state_a unsigned_field unsigned_field END_STRUCT
    { $$.list = ctx.fields({$2.value, $3.value}); }
  ;
list_body : list_sub END_STRUCT { $$.list = $1.list; } ;
exception_body
  : unsigned_field value_field END_STRUCT { $$.list = ctx.fields({$1.value, $2.value}); }
  | unsigned_field value_field char_array_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.value}); }
  ;
waveform_body
  : numeric_field numeric_field numeric_field numeric_field numeric_array_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.value, $4.value, $5.value}); }
  ;
method_security_body
  : lex_state_a unsigned_field unsigned_field END_STRUCT
    { $$.list = ctx.fields({$2.value, $3.value}); }
  ;
date_body
  : unsigned_field unsigned_field unsigned_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value, $3.value}); }
  ;
calendar_body
  : date_field unsigned_array_field END_STRUCT { $$.list = ctx.fields({$1.value, $2.value}); }
  ;
profile_body
  : unsigned_array_field unsigned_array_field END_STRUCT
    { $$.list = ctx.fields({$1.value, $2.value}); }
  ;
string_array_body : char_array_fields END_STRUCT { $$.list = $1.list; } ;
char_array_fields
  : %empty { $$.list = ctx.newList(); }
  | char_array_fields char_array_field { $$.list = ctx.append($1.list, $2.value); }
  ;
unsigned_array_array_body : unsigned_array_fields END_STRUCT { $$.list = $1.list; } ;
unsigned_array_fields
  : %empty { $$.list = ctx.newList(); }
  | unsigned_array_fields unsigned_array_field { $$.list = ctx.append($1.list, $2.value); }
  ;

unsigned_field : unsigned_val lex_state_a ;
numeric_field : numeric_val lex_state_a ;
value_field : qualified_value lex_state_a ;
handle_field : handle lex_state_a ;
char_array_field : char_array lex_state_a ;
numeric_array_field : numeric_array lex_state_a ;
unsigned_array_field : unsigned_array lex_state_a ;
date_field : date_structure lex_state_a ;
handle
  : unsigned_val
  | extended_handle_structure
  ;

%%

int pic_lex(PIC_STYPE *value, arxmod::PICDecodeContext &ctx) { return ctx.lex(*value); }

void pic_error(arxmod::PICDecodeContext &, const char *message) {
  if (pic_debug)
    std::fprintf(stdout, "%s\n", message);
}

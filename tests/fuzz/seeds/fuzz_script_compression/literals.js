var s = "Ink  { black }", t = `a ${ f( "{ }" ) }
   b ${ `${ x }` }`;
if (a.match(/[/ ]{ 2 }\// ) && b / 2 > c) {
  return /x { /g.test(s) // it's { done }
}
<!-- old { }
--> end { }
/* a {
   b } */ x = 'a \
  b';
